// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <windows.h>

#include <string>

#include "platform/services/current_directory.h"
#include "platform/services/win32_host.h"

namespace kavo {

std::string currentDirectory() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) throw errorFromWin32(::GetLastError(), ".", PathRole::Directory);
    if (length < buffer.size()) {
      buffer.resize(length);
      break;
    }
    buffer.resize(length);
  }
  // A long current directory may come with the prefix that allows it.
  if (buffer.starts_with(L"\\\\?\\UNC\\")) buffer = L"\\" + buffer.substr(7);
  if (buffer.starts_with(L"\\\\?\\")) buffer = buffer.substr(4);
  return utf8FromWide(buffer);
}

}  // namespace kavo
