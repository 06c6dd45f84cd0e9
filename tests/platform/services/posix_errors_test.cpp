// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/posix_errors.h"

#include <gtest/gtest.h>

#include <cerrno>

#include "support/host_errors.h"

namespace kavo {
namespace {

TEST(PosixErrors, MapErrnoToTheClassicNumbers) {
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
  // Whatever language the system speaks.
  EXPECT_EQ(errorFromErrno(EROFS, "/x", PathRole::Directory).reason(), kReadOnlyVolume);
}

// The doubles that stand in for a host's file system (the memory file
// system, the fault injector) raise the errors this host raises.
TEST(PosixErrors, AreWhatTheDoublesOfTheHostRaise) {
  using testing::HostError;
  const std::pair<HostError, int> errors[] = {{HostError::NotFound, ENOENT},
                                              {HostError::Exists, EEXIST},
                                              {HostError::NotADirectory, ENOTDIR},
                                              {HostError::IsADirectory, EISDIR},
                                              {HostError::NotEmpty, ENOTEMPTY},
                                              {HostError::NoSpace, ENOSPC},
                                              {HostError::IoError, EIO},
                                              {HostError::AccessDenied, EACCES},
                                              {HostError::NameTooLong, ENAMETOOLONG},
                                              {HostError::TooManyLinks, ELOOP},
                                              {HostError::InvalidArgument, EINVAL},
                                              {HostError::CrossDevice, EXDEV}};
  for (const auto& [error, errnoValue] : errors) {
    for (PathRole role : {PathRole::File, PathRole::Directory}) {
      const RunTimeError real = errorFromErrno(errnoValue, "/x", role);
      const RunTimeError simulated = testing::hostError(
          error, "/x", role == PathRole::File ? testing::Role::File : testing::Role::Directory);
      EXPECT_EQ(simulated.number(), real.number()) << real.what();
      EXPECT_EQ(simulated.reason(), real.reason());
    }
  }
}

}  // namespace
}  // namespace kavo
