// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The console on Windows: its handles, its code page and modes, and the C
// run time's errno for the writes through it.

#include <windows.h>
// (after windows.h)
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/services/console.h"
#include "platform/services/win32_host.h"

namespace kavo::console {

namespace {

// Whether a handle is a console (a file or pipe is not, nor NUL, which is
// a character device that takes no console mode).
bool isConsole(DWORD which) {
  DWORD mode = 0;
  return ::GetConsoleMode(::GetStdHandle(which), &mode) != 0;
}

// The code page the console had before, given back when the program ends:
// the console outlives it.
UINT consoleOutputCodePage = 0;

void restoreCodePage() {
  if (consoleOutputCodePage != 0) ::SetConsoleOutputCP(consoleOutputCodePage);
}

void allowEscapes(DWORD which) {
  const HANDLE handle = ::GetStdHandle(which);
  DWORD mode = 0;
  if (::GetConsoleMode(handle, &mode))
    ::SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING);
}

}  // namespace

void prepare() {
  // The index's bytes go out as they are, "\n" never made "\r\n".
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  if (isConsole(STD_OUTPUT_HANDLE) || isConsole(STD_ERROR_HANDLE)) {
    consoleOutputCodePage = ::GetConsoleOutputCP();
    if (consoleOutputCodePage != CP_UTF8 && ::SetConsoleOutputCP(CP_UTF8))
      std::atexit(restoreCodePage);
    allowEscapes(STD_OUTPUT_HANDLE);
    allowEscapes(STD_ERROR_HANDLE);
  }
}

std::vector<std::string> arguments(int argc, char** argv) {
  int count = 0;
  wchar_t** wide = ::CommandLineToArgvW(::GetCommandLineW(), &count);
  if (!wide) return {argv, argv + argc};
  std::vector<std::string> result;
  for (int i = 0; i < count; ++i) result.push_back(utf8FromWide(wide[i]));
  ::LocalFree(wide);
  return result;
}

bool standardOutputIsTerminal() { return isConsole(STD_OUTPUT_HANDLE); }

bool standardErrorIsTerminal() { return isConsole(STD_ERROR_HANDLE); }

std::size_t terminalWidth() {
  CONSOLE_SCREEN_BUFFER_INFO info{};
  if (::GetConsoleScreenBufferInfo(::GetStdHandle(STD_ERROR_HANDLE), &info)) {
    const int width = info.srWindow.Right - info.srWindow.Left + 1;
    if (width > 0) return static_cast<std::size_t>(width);
  }
  return 80;
}

void forgetWriteFailure() { errno = 0; }

std::string writeFailure() { return errno != 0 ? std::strerror(errno) : "write error"; }

}  // namespace kavo::console
