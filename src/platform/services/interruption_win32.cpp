// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Interruptions on Windows: the console's events, named as the signals a
// POSIX host would send for them, so that an export stopped by one leaves
// with 128 plus its number as there (130 for Ctrl-C).

#include <windows.h>

#include "platform/services/interruption.h"
#include "platform/services/interruption_host.h"

namespace kavo {

namespace {

constexpr int kHangUp = 1, kInterrupt = 2, kTerminate = 15, kBreak = 21;

BOOL WINAPI noteConsoleEvent(DWORD event) {
  const int signal = interruption_host::signalOfConsoleEvent(event);
  if (signal == 0) return FALSE;
  interruption_host::note(signal);
  // Windows ends the process as soon as the handler returns from these
  // (or after a few seconds): the handler waits instead, while the program
  // takes back what it made and leaves of its own accord.
  if (signal == kHangUp || signal == kTerminate) ::Sleep(INFINITE);
  return TRUE;
}

}  // namespace

int interruption_host::signalOfConsoleEvent(unsigned long event) {
  switch (event) {
    case CTRL_C_EVENT:
      return kInterrupt;
    case CTRL_BREAK_EVENT:
      return kBreak;
    case CTRL_CLOSE_EVENT:
      return kHangUp;
    case CTRL_LOGOFF_EVENT:
    case CTRL_SHUTDOWN_EVENT:
      return kTerminate;
    default:
      return 0;
  }
}

void catchInterruptions() { ::SetConsoleCtrlHandler(noteConsoleEvent, TRUE); }

std::string interruption_host::nameOf(int signal) {
  switch (signal) {
    case kInterrupt:
      return "Ctrl-C";
    case kBreak:
      return "Ctrl-Break";
    case kHangUp:
      return "closing the console";
    case kTerminate:
      return "the end of the session";
    default:
      return "signal " + std::to_string(signal);
  }
}

// Windows has no limit on a file's size that a signal would tell.
void ignoreFileSizeLimitSignal() {}

}  // namespace kavo
