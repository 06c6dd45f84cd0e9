// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The console on POSIX hosts: file descriptors 1 and 2, and errno.

#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/services/console.h"

namespace kavo::console {

void prepare() { ::signal(SIGPIPE, SIG_IGN); }

std::vector<std::string> arguments(int argc, char** argv) { return {argv, argv + argc}; }

bool standardOutputIsTerminal() { return ::isatty(STDOUT_FILENO) == 1; }

bool standardErrorIsTerminal() { return ::isatty(STDERR_FILENO) == 1; }

std::size_t terminalWidth() {
  winsize size{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

void forgetWriteFailure() { errno = 0; }

std::string writeFailure() { return errno != 0 ? std::strerror(errno) : "write error"; }

}  // namespace kavo::console
