# SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The Windows installer (CPack's NSIS generator, Debian's makensis) and a
# portable zip of the same files: both programs in bin\ with every DLL they
# need beside them (Qt's, the MinGW run time's; libarchive, zlib and the rest
# are linked in), Qt's plugins in the folders Qt looks for beside a program,
# the licence and a Start-menu entry. `cpack -G "NSIS;ZIP"` in build-windows/
# makes them; the test windows_installation installs, uses and uninstalls
# the installer under Wine.

# Installs a DLL as the programs are, stripped: Debian's libstdc++-6.dll
# carries 22 MB of symbols, Qt's a third of their size. The stripped copy is
# made in the build folder when the DLL changes.
function(kavo_install_dll dll destination)
  get_filename_component(name ${dll} NAME)
  set(folder ${CMAKE_BINARY_DIR}/stripped-dlls/${destination})
  set(stripped ${folder}/${name})
  add_custom_command(OUTPUT ${stripped}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${folder}
                     COMMAND ${CMAKE_STRIP} --strip-unneeded -o ${stripped} ${dll}
                     DEPENDS ${dll} VERBATIM)
  string(MAKE_C_IDENTIFIER "${destination}/${name}" target)
  add_custom_target(kavo_stripped_${target} ALL DEPENDS ${stripped})
  install(FILES ${stripped} DESTINATION ${destination})
endfunction()

# Where the DLLs come from: the cache's Qt, the cross compiler's run time.
# (On Windows itself, MSYS2's MINGW64 keeps them beside the compiler.)
if(CMAKE_HOST_WIN32)
  get_filename_component(compiler_bin ${CMAKE_CXX_COMPILER} DIRECTORY)
  set(runtime_dirs ${compiler_bin})
else()
  set(runtime_dirs /usr/lib/gcc/x86_64-w64-mingw32/12-posix /usr/x86_64-w64-mingw32/lib)
endif()
set(KAVO_MINGW_RUNTIME_DIRS ${runtime_dirs} CACHE STRING "Folders holding MinGW's run-time DLLs")
set(runtime libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
foreach(dll IN LISTS runtime)
  find_file(KAVO_DLL_${dll} ${dll} PATHS ${KAVO_MINGW_RUNTIME_DIRS} NO_DEFAULT_PATH
            NO_CMAKE_FIND_ROOT_PATH)
  if(NOT KAVO_DLL_${dll})
    message(FATAL_ERROR "${dll} is not in ${KAVO_MINGW_RUNTIME_DIRS}: the installer needs it")
  endif()
  kavo_install_dll(${KAVO_DLL_${dll}} bin)
endforeach()

if(KAVO_WINDOW)
  # Qt6::Core's DLL, and its folder: the other DLLs and plugins lie beside it.
  get_target_property(qt_core Qt6::Core IMPORTED_LOCATION_RELEASE)
  if(NOT qt_core)
    get_target_property(qt_core Qt6::Core IMPORTED_LOCATION)
  endif()
  get_filename_component(qt_bin ${qt_core} DIRECTORY)
  get_filename_component(qt_plugins ${qt_bin}/../plugins ABSOLUTE)
  foreach(dll Qt6Core Qt6Gui Qt6Widgets)
    kavo_install_dll(${qt_bin}/${dll}.dll bin)
  endforeach()
  # The windows platform draws the window; offscreen serves a run without a
  # desktop (a test); the style is Windows' own; ico reads the icon.
  foreach(plugin platforms/qwindows platforms/qoffscreen styles/qwindowsvistastyle
                 imageformats/qico)
    get_filename_component(folder ${plugin} DIRECTORY)
    kavo_install_dll(${qt_plugins}/${plugin}.dll bin/${folder})
  endforeach()
endif()
install(FILES ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION . RENAME LICENSE.txt)

set(CPACK_PACKAGE_NAME SimpleKAVO)
set(CPACK_PACKAGE_VENDOR "SimpleKAVO")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY SimpleKAVO)
set(CPACK_PACKAGE_FILE_NAME SimpleKAVO-${PROJECT_VERSION}-windows-x86_64)
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR NSIS ZIP)
set(CPACK_STRIP_FILES ON)
# The Start menu's entry starts the window; the uninstaller removes it, the
# files and the entry in Windows' list of programs.
set(CPACK_PACKAGE_EXECUTABLES simplekavo SimpleKAVO)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY bin)
set(CPACK_NSIS_INSTALLED_ICON_NAME bin\\\\simplekavo.exe)
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/dist/windows/simplekavo.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/dist/windows/simplekavo.ico)
set(CPACK_NSIS_DISPLAY_NAME SimpleKAVO)
set(CPACK_NSIS_PACKAGE_NAME SimpleKAVO)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
# A 64-bit installer (Debian's makensis has the amd64 stubs), as the
# programs are: it installs where 64-bit programs go and writes the 64-bit
# registry, and needs no 32-bit Windows layer (nor Wine's).
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
set(CPACK_NSIS_MANIFEST_DPI_AWARE ON)
include(CPack)
