# SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
# SPDX-License-Identifier: GPL-3.0-or-later
# Cross-compiling for 64-bit Windows with Debian's MinGW-w64 (POSIX threads),
# against the libraries that scripts/setup windows builds into its cache:
# static liblzma, libarchive, expat, nettle, xxHash, zlib and GoogleTest in
# <cache>/prefix, and Qt for MinGW in <cache>/qt6. The cache is
# KAVO_WINDOWS_CACHE (a -D or the environment), else where scripts/setup puts
# it. Packages are looked for in the MinGW sysroot, in the cache and through
# CMAKE_PREFIX_PATH; libraries and headers only in the sysroot and the cache,
# never in the host's /usr.
#
# On Windows itself, in MSYS2's MINGW64 shell, the build is a native one with
# that shell's gcc and packages, and the tests run as they are, with no Wine.
if(CMAKE_HOST_WIN32)
  set(CMAKE_C_COMPILER gcc)
  set(CMAKE_CXX_COMPILER g++)
  set(CMAKE_CROSSCOMPILING_EMULATOR "" CACHE STRING "No emulator on Windows itself" FORCE)
  return()
endif()

set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

if(NOT KAVO_WINDOWS_CACHE)
  if(DEFINED ENV{KAVO_WINDOWS_CACHE})
    set(KAVO_WINDOWS_CACHE "$ENV{KAVO_WINDOWS_CACHE}")
  elseif(DEFINED ENV{XDG_CACHE_HOME})
    set(KAVO_WINDOWS_CACHE "$ENV{XDG_CACHE_HOME}/simplekavo/windows-x86_64")
  else()
    set(KAVO_WINDOWS_CACHE "$ENV{HOME}/.cache/simplekavo/windows-x86_64")
  endif()
endif()
set(KAVO_WINDOWS_CACHE "${KAVO_WINDOWS_CACHE}" CACHE PATH
    "The Windows libraries scripts/setup windows builds")
# try_compile's projects read this file again and must find the same cache.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES KAVO_WINDOWS_CACHE)

set(CMAKE_FIND_ROOT_PATH /usr/x86_64-w64-mingw32 "${KAVO_WINDOWS_CACHE}/prefix"
    "${KAVO_WINDOWS_CACHE}/qt6")
list(APPEND CMAKE_PREFIX_PATH "${KAVO_WINDOWS_CACHE}/prefix" "${KAVO_WINDOWS_CACHE}/qt6")
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE BOTH)

# Qt's moc, uic and rcc are the host's (Debian's qt6-base-dev-tools, the
# same 6.4.2 as the Windows Qt).
set(QT_HOST_PATH /usr CACHE PATH "Where the host's Qt tools are")
set(Qt6HostInfo_DIR /usr/lib/x86_64-linux-gnu/cmake/Qt6HostInfo CACHE PATH "")

# pkg-config sees the cache alone, and static libraries' private
# dependencies (bcrypt, liblzma, zlib for libarchive) with them.
set(ENV{PKG_CONFIG_LIBDIR} "${KAVO_WINDOWS_CACHE}/prefix/lib/pkgconfig")
set(ENV{PKG_CONFIG_PATH} "")
unset(ENV{PKG_CONFIG_SYSROOT_DIR})
set(PKG_CONFIG_ARGN --static CACHE STRING "Arguments pkg-config is given")

# zlib is linked statically, the cache's copy, as pkg-config gives it to the
# libraries that need it; FindZLIB would take the DLL's import library from
# the MinGW sysroot, and both in one program define everything twice.
set(ZLIB_ROOT "${KAVO_WINDOWS_CACHE}/prefix" CACHE PATH "The zlib FindZLIB finds")
set(ZLIB_USE_STATIC_LIBS ON CACHE BOOL "Link zlib statically")
