// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <iostream>

#include "cli/export_command.h"
#include "platform/services/console.h"
#include "platform/services/interruption.h"

int main(int argc, char** argv) {
  // Ctrl-C, SIGTERM and SIGHUP take back what the export made before it
  // exits.
  kavo::catchInterruptions();
  // A closed output pipe is a write error to report, not a silent end.
  kavo::console::prepare();
  kavo::ignoreFileSizeLimitSignal();
  return kavo::runExportCommand(
      argc, argv, std::cout, std::cerr,
      {kavo::console::standardErrorIsTerminal(), kavo::console::terminalWidth(),
       kavo::console::standardOutputIsTerminal()});
}
