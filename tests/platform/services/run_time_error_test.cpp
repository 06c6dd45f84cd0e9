// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/run_time_error.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace kavo {
namespace {

TEST(RunTimeError, MapsErrnoToTheClassicNumbers) {
  struct Case {
    int errnoValue;
    PathRole role;
    ErrorNumber expected;
  };
  const Case cases[] = {
      {ENOENT, PathRole::File, ErrorNumber::FileNotFound},
      {ENOENT, PathRole::Directory, ErrorNumber::PathNotFound},
      {ENOTDIR, PathRole::File, ErrorNumber::PathNotFound},
      {EEXIST, PathRole::File, ErrorNumber::FileAlreadyExists},
      {EEXIST, PathRole::Directory, ErrorNumber::PathFileAccessError},
      {ENOSPC, PathRole::File, ErrorNumber::DiskFull},
      {EDQUOT, PathRole::File, ErrorNumber::DiskFull},
      {EACCES, PathRole::File, ErrorNumber::PermissionDenied},
      {EROFS, PathRole::Directory, ErrorNumber::PermissionDenied},
      {EIO, PathRole::File, ErrorNumber::DeviceIoError},
      {EMFILE, PathRole::File, ErrorNumber::TooManyFiles},
      {ENXIO, PathRole::File, ErrorNumber::DeviceUnavailable},
      {ENAMETOOLONG, PathRole::File, ErrorNumber::BadFileName},
      {EISDIR, PathRole::File, ErrorNumber::PathFileAccessError},
      {EXDEV, PathRole::File, ErrorNumber::PathFileAccessError},
  };
  for (const Case& c : cases) {
    RunTimeError error = errorFromErrno(c.errnoValue, "/x", c.role);
    EXPECT_EQ(error.number(), c.expected) << "errno " << c.errnoValue;
  }
}

TEST(RunTimeError, TextsNameNumberDescriptionPathAndReason) {
  RunTimeError error = errorFromErrno(EEXIST, "/media/usb/ROMS0", PathRole::Directory);
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
