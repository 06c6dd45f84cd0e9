// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's start on Windows: there is always a desktop to show it on.

#include <windows.h>

#include <cstdio>

#include "app/application_host.h"

namespace kavo::application_host {

void useStartingConsole() {
  // Output sent to a file or pipe already goes there.
  if (::GetStdHandle(STD_OUTPUT_HANDLE) || !::AttachConsole(ATTACH_PARENT_PROCESS)) return;
  std::freopen("CONOUT$", "w", stdout);
  std::freopen("CONOUT$", "w", stderr);
}

std::string whyNoWindow() { return {}; }

// The root of the drive Windows runs from ("C:\").
std::string fallbackStartFolder() {
  wchar_t folder[MAX_PATH + 1] = {};
  const UINT length = ::GetSystemWindowsDirectoryW(folder, MAX_PATH + 1);
  if (length >= 2 && length <= MAX_PATH && folder[1] == L':')
    return {static_cast<char>(folder[0]), ':', '\\'};
  return "C:\\";
}

}  // namespace kavo::application_host
