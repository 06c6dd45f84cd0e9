// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "platform/services/run_time_error.h"

namespace kavo::testing {

// What went wrong in a host's file system, for the doubles that stand in for
// one (the memory file system, the fault injector): each is an errno value
// of a POSIX host (ENOENT, EEXIST, ...), in the order of the table in
// host_errors.cpp.
enum class HostError {
  NotFound,
  Exists,
  NotADirectory,
  IsADirectory,
  NotEmpty,
  NoSpace,
  IoError,
  AccessDenied,
  NameTooLong,
  TooManyLinks,
  InvalidArgument,
  CrossDevice,
};

// What the failed path was expected to be, as the POSIX file system tells
// it: a missing file is "File not found", a missing directory "Path not
// found" (see posix_errors.h).
enum class Role { File, Directory };

// The run-time error the POSIX file system raises for `error` at `path`: the
// same number and reason, byte for byte.
RunTimeError hostError(HostError error, const std::string& path, Role role = Role::File);

}  // namespace kavo::testing
