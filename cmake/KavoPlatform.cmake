# SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
# SPDX-License-Identifier: GPL-3.0-or-later

# What differs between hosts lives in siblings of a portable file: beside
# interruption.cpp stand interruption_posix.cpp and interruption_win32.cpp,
# behind the one header interruption.h.
#
#   kavo_platform_sources(target base...)
#
# adds to `target` each base's sibling for the host being built for:
# base_win32.cpp on Windows, base_posix.cpp everywhere else. Bases are
# relative to the calling CMakeLists.txt, as in target_sources.
function(kavo_platform_sources target)
  if(WIN32)
    set(suffix _win32.cpp)
  else()
    set(suffix _posix.cpp)
  endif()
  foreach(base IN LISTS ARGN)
    target_sources(${target} PRIVATE ${base}${suffix})
  endforeach()
endfunction()
