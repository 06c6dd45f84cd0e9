// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "platform/services/run_time_error.h"

// Included only by the POSIX implementations of the host services and their
// tests: the rest of the program meets the host's failures as run-time
// errors only, never as error codes.
namespace kavo {

// What a failed path was expected to be. It decides how ENOENT and EEXIST
// read: File when the path names a file that should exist ("File not found"),
// Directory when it names a directory, or a file to be created whose
// directory is what is missing ("Path not found"; an existing directory is
// refused as "Path/File access error").
enum class PathRole { File, Directory };

// The one place where operating-system error codes become run-time errors.
RunTimeError errorFromErrno(int errnoValue, const std::string& path,
                            PathRole role = PathRole::File);

}  // namespace kavo
