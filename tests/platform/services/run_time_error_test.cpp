// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/run_time_error.h"

#include <gtest/gtest.h>

namespace kavo {
namespace {

TEST(RunTimeError, TextsNameNumberDescriptionPathAndReason) {
  RunTimeError error(ErrorNumber::PathFileAccessError, "/media/usb/ROMS0", "File exists");
  EXPECT_EQ(error.description(), std::string("Path/File access error"));
  EXPECT_EQ(error.path(), "/media/usb/ROMS0");
  EXPECT_EQ(error.reason(), "File exists");
  EXPECT_STREQ(error.what(), "Path/File access error \u2014 /media/usb/ROMS0: File exists");
  EXPECT_EQ(error.message(),
            "Run-time error '75':\n\nPath/File access error\n\n"
            "/media/usb/ROMS0: File exists");

  error.setNote("The destination was left as it was.");
  EXPECT_EQ(error.message(),
            "Run-time error '75':\n\nPath/File access error\n\n"
            "/media/usb/ROMS0: File exists\n\nThe destination was left as it was.");
  EXPECT_STREQ(error.what(),
               "Path/File access error \u2014 /media/usb/ROMS0: File exists "
               "(The destination was left as it was.)");

  RunTimeError bare(ErrorNumber::OutOfMemory, {}, {});
  EXPECT_EQ(bare.message(), "Run-time error '7':\n\nOut of memory");
  EXPECT_STREQ(bare.what(), "Out of memory");
}

}  // namespace
}  // namespace kavo
