// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <iostream>
#include <string>
#include <vector>

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
  // Names as they are, in UTF-8, on Windows too.
  std::vector<std::string> arguments = kavo::console::arguments(argc, argv);
  std::vector<char*> utf8;
  for (std::string& argument : arguments) utf8.push_back(argument.data());
  utf8.push_back(nullptr);
  return kavo::runExportCommand(
      static_cast<int>(arguments.size()), utf8.data(), std::cout, std::cerr,
      {kavo::console::standardErrorIsTerminal(), kavo::console::terminalWidth(),
       kavo::console::standardOutputIsTerminal()});
}
