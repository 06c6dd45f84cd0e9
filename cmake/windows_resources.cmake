# SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
# SPDX-License-Identifier: GPL-3.0-or-later
# kavo_windows_resources(target DESCRIPTION): a Windows program's icon, its
# version (as Explorer's Properties show it, from project(VERSION)) and its
# manifest (dist/windows/program.manifest.in: UTF-8 code page, long paths,
# per-monitor DPI), compiled into it by windres. Nothing elsewhere.
function(kavo_windows_resources target description)
  if(NOT WIN32)
    return()
  endif()
  set(KAVO_NAME ${target})
  set(KAVO_DESCRIPTION "${description}")
  set(KAVO_ICON ${PROJECT_SOURCE_DIR}/dist/windows/simplekavo.ico)
  set(KAVO_MANIFEST ${CMAKE_CURRENT_BINARY_DIR}/${target}.manifest)
  # "1.00" is version 1.0 (a leading zero would read as octal).
  math(EXPR KAVO_VERSION_MINOR "${PROJECT_VERSION_MINOR}" OUTPUT_FORMAT DECIMAL)
  configure_file(${PROJECT_SOURCE_DIR}/dist/windows/program.manifest.in ${KAVO_MANIFEST} @ONLY)
  configure_file(${PROJECT_SOURCE_DIR}/dist/windows/program.rc.in
                 ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc @ONLY)
  target_sources(${target} PRIVATE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc)
  set_property(SOURCE ${CMAKE_CURRENT_BINARY_DIR}/${target}.rc APPEND PROPERTY OBJECT_DEPENDS
               ${KAVO_ICON} ${KAVO_MANIFEST})
endfunction()
