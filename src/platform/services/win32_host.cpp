// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/win32_host.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <iterator>
#include <string_view>
#include <vector>

namespace kavo {

namespace {

// Each code the file services meet, and the run-time error it is for a
// path that names a file and for one that names a directory. Codes not
// listed are "Path/File access error".
struct Row {
  DWORD code;
  ErrorNumber file, directory;
};

using enum ErrorNumber;
constexpr Row kErrors[] = {
    {ERROR_FILE_NOT_FOUND, FileNotFound, PathNotFound},
    {ERROR_PATH_NOT_FOUND, PathNotFound, PathNotFound},
    {ERROR_BAD_NETPATH, PathNotFound, PathNotFound},
    {ERROR_BAD_NET_NAME, PathNotFound, PathNotFound},
    // A file where a directory was expected on the way (ENOTDIR).
    {ERROR_DIRECTORY, PathNotFound, PathNotFound},
    {ERROR_FILE_EXISTS, FileAlreadyExists, PathFileAccessError},
    {ERROR_ALREADY_EXISTS, FileAlreadyExists, PathFileAccessError},
    {ERROR_DISK_FULL, DiskFull, DiskFull},
    {ERROR_HANDLE_DISK_FULL, DiskFull, DiskFull},
    {kErrorDiskQuotaExceeded, DiskFull, DiskFull},
    {ERROR_ACCESS_DENIED, PermissionDenied, PermissionDenied},
    {ERROR_WRITE_PROTECT, PermissionDenied, PermissionDenied},
    {ERROR_NETWORK_ACCESS_DENIED, PermissionDenied, PermissionDenied},
    {ERROR_PRIVILEGE_NOT_HELD, PermissionDenied, PermissionDenied},
    {ERROR_CRC, DeviceIoError, DeviceIoError},
    {ERROR_SEEK, DeviceIoError, DeviceIoError},
    {ERROR_SECTOR_NOT_FOUND, DeviceIoError, DeviceIoError},
    {ERROR_WRITE_FAULT, DeviceIoError, DeviceIoError},
    {ERROR_READ_FAULT, DeviceIoError, DeviceIoError},
    {ERROR_GEN_FAILURE, DeviceIoError, DeviceIoError},
    {ERROR_IO_DEVICE, DeviceIoError, DeviceIoError},
    {ERROR_FILE_CORRUPT, DeviceIoError, DeviceIoError},
    {ERROR_DISK_CORRUPT, DeviceIoError, DeviceIoError},
    {ERROR_TOO_MANY_OPEN_FILES, TooManyFiles, TooManyFiles},
    {ERROR_INVALID_DRIVE, DeviceUnavailable, DeviceUnavailable},
    {ERROR_NOT_READY, DeviceUnavailable, DeviceUnavailable},
    {ERROR_DEV_NOT_EXIST, DeviceUnavailable, DeviceUnavailable},
    {ERROR_UNRECOGNIZED_VOLUME, DeviceUnavailable, DeviceUnavailable},
    {ERROR_NO_MEDIA_IN_DRIVE, DeviceUnavailable, DeviceUnavailable},
    {ERROR_DEVICE_NOT_CONNECTED, DeviceUnavailable, DeviceUnavailable},
    {ERROR_DEVICE_REMOVED, DeviceUnavailable, DeviceUnavailable},
    {ERROR_INVALID_NAME, BadFileName, BadFileName},
    {ERROR_BAD_PATHNAME, BadFileName, BadFileName},
    {ERROR_FILENAME_EXCED_RANGE, BadFileName, BadFileName},
    {ERROR_NO_UNICODE_TRANSLATION, BadFileName, BadFileName},
    {ERROR_NOT_ENOUGH_MEMORY, OutOfMemory, OutOfMemory},
    {ERROR_OUTOFMEMORY, OutOfMemory, OutOfMemory},
};

}  // namespace

std::string win32Message(unsigned long code) {
  wchar_t* text = nullptr;
  const DWORD length = ::FormatMessageW(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::wstring message(text ? text : L"", length);
  if (text) ::LocalFree(text);
  while (!message.empty() && (std::iswspace(message.back()) || message.back() == L'.'))
    message.pop_back();
  if (!message.empty()) return utf8FromWide(message);
  // A code the system has no words for (older Windows, Wine).
  if (code == kErrorDirectoryNotSupported) return "Is a directory";
  return "Windows error " + std::to_string(code);
}

RunTimeError errorFromWin32(unsigned long code, const std::string& path, PathRole role) {
  ErrorNumber number = PathFileAccessError;
  const auto row = std::find_if(std::begin(kErrors), std::end(kErrors),
                                [code](const Row& r) { return r.code == code; });
  if (row != std::end(kErrors)) number = role == PathRole::File ? row->file : row->directory;
  return RunTimeError(number, path, win32Message(code));
}

std::wstring wideFromUtf8(std::string_view text, const std::string& path) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, nullptr, 0);
  if (length <= 0) throw errorFromWin32(ERROR_NO_UNICODE_TRANSLATION, path);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), size, wide.data(), length);
  return wide;
}

std::string utf8FromWide(std::wstring_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  const int length =
      ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, utf8.data(), length, nullptr, nullptr);
  return utf8;
}

namespace {

bool isSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

// The longest name NTFS, FAT and exFAT take, in UTF-16 units.
constexpr std::size_t kLongestName = 255;

// The names of `path` from `start` on, "." left out and ".." taking the
// name before it away (never one of the first `kept`).
std::vector<std::wstring_view> namesOf(std::wstring_view path, std::size_t start,
                                       std::size_t kept) {
  std::vector<std::wstring_view> names;
  while (start < path.size()) {
    std::size_t end = start;
    while (end < path.size() && !isSeparator(path[end])) ++end;
    const std::wstring_view name = path.substr(start, end - start);
    if (name == L"..") {
      if (names.size() > kept) names.pop_back();
    } else if (!name.empty() && name != L".") {
      names.push_back(name);
    }
    start = end + 1;
  }
  return names;
}

}  // namespace

std::wstring extendedPath(const std::string& path) {
  std::wstring wide = wideFromUtf8(path, path);
  if (wide.starts_with(L"\\\\?\\") || wide.starts_with(L"\\\\.\\")) return wide;
  const bool drive = wide.size() >= 3 && wide[1] == L':' && isSeparator(wide[2]) &&
                     ((wide[0] >= L'A' && wide[0] <= L'Z') || (wide[0] >= L'a' && wide[0] <= L'z'));
  const bool unc = wide.size() >= 2 && isSeparator(wide[0]) && isSeparator(wide[1]);
  if (!drive && !unc) {
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    return wide;
  }
  // A share's server and name stay, whatever ".." follows them.
  const std::vector<std::wstring_view> names = namesOf(wide, drive ? 3 : 2, unc ? 2 : 0);
  // No file system of Windows' takes a longer name; Wine would call it a
  // missing path.
  for (const std::wstring_view name : names)
    if (name.size() > kLongestName) throw errorFromWin32(ERROR_FILENAME_EXCED_RANGE, path);
  std::wstring extended = drive ? L"\\\\?\\" + wide.substr(0, 2) : L"\\\\?\\UNC";
  for (const std::wstring_view name : names) extended.append(1, L'\\').append(name);
  if (drive && names.empty()) extended += L'\\';  // the drive's root: "\\?\C:\"
  return extended;
}

}  // namespace kavo
