// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <signal.h>
#include <unistd.h>

#include <iostream>

#include "cli/export_command.h"
#include "cli/terminal_progress.h"
#include "platform/services/interruption.h"

int main(int argc, char** argv) {
  // Ctrl-C, SIGTERM and SIGHUP take back what the export made before it
  // exits.
  kavo::catchInterruptions();
  // A closed output pipe is a write error to report, not a silent end.
  ::signal(SIGPIPE, SIG_IGN);
  kavo::ignoreFileSizeLimitSignal();
  return kavo::runExportCommand(
      argc, argv, std::cout, std::cerr,
      {::isatty(STDERR_FILENO) == 1, kavo::terminalWidth(), ::isatty(STDOUT_FILENO) == 1});
}
