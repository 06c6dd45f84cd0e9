// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/host_errors.h"

namespace kavo::testing {

RunTimeError hostError(HostError error, const std::string& path, Role role) {
  using enum ErrorNumber;
  static const struct {
    const char* reason;
    ErrorNumber file, directory;
  } kErrors[] = {
      {"No such file or directory", FileNotFound, PathNotFound},  // ENOENT
      {"File exists", FileAlreadyExists, PathFileAccessError},    // EEXIST
      {"Not a directory", PathNotFound, PathNotFound},            // ENOTDIR
      {"Is a directory", PathFileAccessError, PathFileAccessError},
      {"Directory not empty", PathFileAccessError, PathFileAccessError},
      {"No space left on device", DiskFull, DiskFull},  // ENOSPC
      {"Input/output error", DeviceIoError, DeviceIoError},
      {"Permission denied", PermissionDenied, PermissionDenied},  // EACCES
      {"File name too long", BadFileName, BadFileName},
      {"Too many levels of symbolic links", PathFileAccessError, PathFileAccessError},  // ELOOP
      {"Invalid argument", PathFileAccessError, PathFileAccessError},
      {"Invalid cross-device link", PathFileAccessError, PathFileAccessError},  // EXDEV
  };
  const auto& row = kErrors[static_cast<int>(error)];
  return RunTimeError(role == Role::File ? row.file : row.directory, path, row.reason);
}

}  // namespace kavo::testing
