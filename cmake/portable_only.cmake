# SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
# SPDX-License-Identifier: GPL-3.0-or-later
# KAVO_PORTABLE_ONLY: the code with no operating system in it and its tests,
# the part of the tree a platform without its OS siblings can build (the
# windows preset, until the _win32 files are written). It goes once every OS
# file has its Windows sibling.
set(CMAKE_AUTOMOC OFF)
set(CMAKE_AUTOUIC OFF)
add_subdirectory(src/text)

# The index format: the layout, the record names and their Windows-1252
# bytes, and the names as a terminal shows them.
add_library(kavo_portable STATIC
  src/export/windows1252.cpp
  src/export/rom_layout.cpp
  src/cli/terminal_text.cpp
  src/platform/services/paths.cpp)
target_link_libraries(kavo_portable PUBLIC kavo_text)

if(BUILD_TESTING)
  find_package(GTest REQUIRED)
  add_executable(portable_tests
    tests/export/windows1252_test.cpp
    tests/export/rom_layout_test.cpp
    tests/cli/terminal_text_test.cpp)
  target_link_libraries(portable_tests PRIVATE kavo_portable GTest::gtest_main)
  kavo_discover_tests(portable_tests)

  add_executable(rom_record_fuzzer tests/fuzz/rom_record_fuzzer.cpp tests/fuzz/replay_main.cpp)
  target_link_libraries(rom_record_fuzzer PRIVATE kavo_portable)
  target_include_directories(rom_record_fuzzer PRIVATE tests)
  add_test(NAME rom_record_fuzz_seeds
           COMMAND rom_record_fuzzer ${PROJECT_SOURCE_DIR}/tests/fuzz/corpus/rom_record)
endif()
