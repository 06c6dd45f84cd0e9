# SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
# SPDX-License-Identifier: GPL-3.0-or-later
# kavo_discover_tests(target): one CTest entry per GoogleTest test of target.
# A cross build (Windows, under Wine) lists them when CTest starts, through
# CMAKE_CROSSCOMPILING_EMULATOR, not while building, and gives the listing
# time to make the build's Wine prefix on first use (up to a minute on a busy
# machine).
include(GoogleTest)

function(kavo_discover_tests target)
  if(CMAKE_CROSSCOMPILING)
    gtest_discover_tests(${target} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 300
                         PROPERTIES TIMEOUT 120)
  else()
    gtest_discover_tests(${target} DISCOVERY_TIMEOUT 60 PROPERTIES TIMEOUT 120)
  endif()
endfunction()
