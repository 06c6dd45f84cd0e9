// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <stdexcept>
#include <string>

namespace kavo {

// The run-time errors a user can meet, numbered as BASIC runtimes have
// numbered them for decades, so the numbers mean the same as in older tools.
enum class ErrorNumber : int {
  OutOfMemory = 7,
  UserInterrupt = 18,
  InternalError = 51,
  BadFileName = 52,
  FileNotFound = 53,
  DeviceIoError = 57,
  FileAlreadyExists = 58,
  DiskFull = 61,
  TooManyFiles = 67,
  DeviceUnavailable = 68,
  PermissionDenied = 70,
  PathFileAccessError = 75,
  PathNotFound = 76,
};

// The reason given for a write to a volume mounted read-only, as a memory
// card with its lock switch on is: the same words on every host and in every
// language, so that what to do about it can be told (see nextStep).
inline constexpr char kReadOnlyVolume[] = "Read-only file system";

// The standard description of an error number ("Disk full").
const char* describe(ErrorNumber number);

// A failed host operation. It carries the error number, the path involved and
// the operating system's reason, so the message can say what went wrong where.
class RunTimeError : public std::runtime_error {
 public:
  RunTimeError(ErrorNumber number, std::string path, std::string reason);

  ErrorNumber number() const { return number_; }
  const char* description() const { return describe(number_); }
  const std::string& path() const { return path_; }
  const std::string& reason() const { return reason_; }

  // What became of the work that failed ("The destination was left as it
  // was."), shown after the rest; empty when there is nothing to say.
  const std::string& note() const { return note_; }
  void setNote(std::string note);

  const char* what() const noexcept override { return text_.c_str(); }

  // The text of the standard run-time error message box.
  std::string message() const;

  // "path (reason)", as a list of what could not be done shows it.
  std::string pathAndReason() const { return path_ + " (" + reason_ + ")"; }

 private:
  ErrorNumber number_;
  std::string path_;
  std::string reason_;
  std::string note_;
  std::string text_;
};

// A copy refused because its source is not a regular file (a FIFO, a device,
// a directory), which would block, never end, or mean nothing as a ROM.
RunTimeError notRegularFileError(const std::string& path);

// The exception being handled, as a run-time error: itself when it is one,
// "Out of memory" for a failed allocation, "Internal error" for the rest.
// Call only from a catch block.
RunTimeError currentRunTimeError();

}  // namespace kavo
