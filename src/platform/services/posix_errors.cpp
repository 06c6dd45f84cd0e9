// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/posix_errors.h"

#include <cerrno>
#include <system_error>

namespace kavo {

RunTimeError errorFromErrno(int errnoValue, const std::string& path, PathRole role) {
  ErrorNumber number = ErrorNumber::PathFileAccessError;
  switch (errnoValue) {
    case ENOENT:
      number = role == PathRole::Directory ? ErrorNumber::PathNotFound : ErrorNumber::FileNotFound;
      break;
    case ENOTDIR:
      number = ErrorNumber::PathNotFound;
      break;
    case EEXIST:
      number = role == PathRole::Directory ? ErrorNumber::PathFileAccessError
                                           : ErrorNumber::FileAlreadyExists;
      break;
    case ENOSPC:
    case EDQUOT:
      number = ErrorNumber::DiskFull;
      break;
    case EACCES:
    case EPERM:
    case EROFS:
      number = ErrorNumber::PermissionDenied;
      break;
    case EIO:
      number = ErrorNumber::DeviceIoError;
      break;
    case EMFILE:
    case ENFILE:
      number = ErrorNumber::TooManyFiles;
      break;
    case ENXIO:
    case ENODEV:
    case ENOMEDIUM:
      number = ErrorNumber::DeviceUnavailable;
      break;
    case ENAMETOOLONG:
    case EILSEQ:
      number = ErrorNumber::BadFileName;
      break;
    case ENOMEM:
      number = ErrorNumber::OutOfMemory;
      break;
    default:
      break;
  }
  // The system's words follow the desktop's language; a read-only volume's
  // are fixed, since what to do about it is told by them.
  if (errnoValue == EROFS) return RunTimeError(number, path, kReadOnlyVolume);
  return RunTimeError(number, path, std::system_category().message(errnoValue));
}

}  // namespace kavo
