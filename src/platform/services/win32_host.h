// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

#include "platform/services/run_time_error.h"

// Included only by the Windows implementations of the host services and
// their tests: the rest of the program meets the host's failures as
// run-time errors only, never as error codes.
namespace kavo {

// What a failed path was expected to be, as in posix_errors.h: File when it
// names a file that should exist ("File not found"), Directory when it names
// a directory, or a file to be made whose directory is what is missing
// ("Path not found"; an existing directory is refused as "Path/File access
// error").
enum class PathRole { File, Directory };

// Codes MinGW's headers lack: a file operation asked of a directory
// (POSIX's EISDIR), and a user's quota spent.
inline constexpr unsigned long kErrorDirectoryNotSupported = 336;
inline constexpr unsigned long kErrorDiskQuotaExceeded = 1295;

// The one place where Windows' error codes (GetLastError) become run-time
// errors, with the system's own words for the reason.
RunTimeError errorFromWin32(unsigned long code, const std::string& path,
                            PathRole role = PathRole::File);

// The system's words for an error code, as FormatMessageW gives them in
// the user's language, without the final full stop and line end; for a
// code the system has no words for, ours ("Windows error N" at worst).
std::string win32Message(unsigned long code);

// UTF-8 and UTF-16, as the program and Windows spell text. A name that is
// not valid UTF-8 cannot reach Windows at all: it throws "Bad file name"
// (ERROR_NO_UNICODE_TRANSLATION) naming `path`. A UTF-16 name that is not
// valid (a lone surrogate, which NTFS allows) becomes U+FFFD where it is
// broken.
std::wstring wideFromUtf8(std::string_view text, const std::string& path);
std::string utf8FromWide(std::wstring_view text);

// A path as the system is given it: UTF-16, and a full one ("C:\...",
// "\\server\share\...") made "\\?\C:\..." or "\\?\UNC\server\share\...",
// which no limit of 260 characters applies to, after "/" and doubled
// separators are made single "\" and "." and ".." applied as text, as
// Windows does for a path without the prefix ("E:\" joined with "FILES.TXT"
// is "E:\\FILES.TXT", the drive's root file). A relative path only has its
// separators made "\". Throws as wideFromUtf8, and "Bad file name" for a
// name longer than Windows' file systems take (255 UTF-16 units).
std::wstring extendedPath(const std::string& path);

}  // namespace kavo
