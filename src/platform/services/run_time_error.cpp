// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/run_time_error.h"

#include <new>

namespace kavo {

namespace {

std::string summary(ErrorNumber number, const std::string& path, const std::string& reason) {
  std::string text = describe(number);
  if (!path.empty()) {
    text += " \u2014 " + path;
    if (!reason.empty()) text += ": " + reason;
  } else if (!reason.empty()) {
    text += " \u2014 " + reason;
  }
  return text;
}

}  // namespace

const char* describe(ErrorNumber number) {
  switch (number) {
    case ErrorNumber::OutOfMemory:
      return "Out of memory";
    case ErrorNumber::UserInterrupt:
      return "User interrupt occurred";
    case ErrorNumber::InternalError:
      return "Internal error";
    case ErrorNumber::BadFileName:
      return "Bad file name or number";
    case ErrorNumber::FileNotFound:
      return "File not found";
    case ErrorNumber::DeviceIoError:
      return "Device I/O error";
    case ErrorNumber::FileAlreadyExists:
      return "File already exists";
    case ErrorNumber::DiskFull:
      return "Disk full";
    case ErrorNumber::TooManyFiles:
      return "Too many files";
    case ErrorNumber::DeviceUnavailable:
      return "Device unavailable";
    case ErrorNumber::PermissionDenied:
      return "Permission denied";
    case ErrorNumber::PathFileAccessError:
      return "Path/File access error";
    case ErrorNumber::PathNotFound:
      return "Path not found";
  }
  return "Application-defined or object-defined error";
}

RunTimeError::RunTimeError(ErrorNumber number, std::string path, std::string reason)
    : std::runtime_error(describe(number)),
      number_(number),
      path_(std::move(path)),
      reason_(std::move(reason)),
      text_(summary(number_, path_, reason_)) {}

void RunTimeError::setNote(std::string note) {
  note_ = std::move(note);
  text_ = summary(number_, path_, reason_);
  if (!note_.empty()) text_ += " (" + note_ + ")";
}

std::string RunTimeError::message() const {
  std::string text =
      "Run-time error '" + std::to_string(static_cast<int>(number_)) + "':\n\n" + description();
  if (!path_.empty()) text += "\n\n" + path_;
  if (!reason_.empty()) text += (path_.empty() ? "\n\n" : ": ") + reason_;
  if (!note_.empty()) text += "\n\n" + note_;
  return text;
}

RunTimeError currentRunTimeError() {
  try {
    throw;
  } catch (const RunTimeError& error) {
    return error;
  } catch (const std::bad_alloc&) {
    return RunTimeError(ErrorNumber::OutOfMemory, {}, {});
  } catch (const std::exception& error) {
    return RunTimeError(ErrorNumber::InternalError, {}, error.what());
  } catch (...) {
    return RunTimeError(ErrorNumber::InternalError, {}, {});
  }
}

RunTimeError notRegularFileError(const std::string& path) {
  return RunTimeError(ErrorNumber::PathFileAccessError, path, "Not a regular file");
}

}  // namespace kavo
