# SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
# SPDX-License-Identifier: GPL-3.0-or-later
# The operating system's code lives in sibling files behind one header:
# <base>_posix.cpp for Linux, <base>_win32.cpp for Windows.
#
#   kavo_platform_sources(target base...)
#
# adds each base's sibling for the platform being built, from the calling
# folder. A base whose files are still named the other way round
# (posix_<base>.cpp, win32_<base>.cpp) is found too. A missing sibling
# stops the configuration with its name, before anything is compiled.
function(kavo_platform_sources target)
  if(WIN32)
    set(platform win32)
  elseif(UNIX)
    set(platform posix)
  else()
    message(FATAL_ERROR "${CMAKE_SYSTEM_NAME}: no platform siblings for it (posix, win32)")
  endif()
  foreach(base IN LISTS ARGN)
    set(found "")
    foreach(name ${base}_${platform}.cpp ${platform}_${base}.cpp)
      if(EXISTS ${CMAKE_CURRENT_SOURCE_DIR}/${name})
        set(found ${name})
        break()
      endif()
    endforeach()
    if(NOT found)
      file(RELATIVE_PATH folder ${PROJECT_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
      message(FATAL_ERROR "${folder}/${base}_${platform}.cpp is missing: ${target} needs the "
                          "${platform} side of ${base} for ${CMAKE_SYSTEM_NAME}")
    endif()
    target_sources(${target} PRIVATE ${found})
  endforeach()
endfunction()
