#include <unistd.h>

#include <iostream>

#include "cli/export_command.h"
#include "cli/terminal_progress.h"

int main(int argc, char** argv) {
  return kavo::runExportCommand(argc, argv, std::cout, std::cerr,
                                {::isatty(STDERR_FILENO) == 1, kavo::terminalWidth()});
}
