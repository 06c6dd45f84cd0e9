#pragma once

#include <ostream>

namespace kavo {

// The exit statuses of simplekavo-export.
enum ExitStatus : int {
  kExported = 0,  // the layout is written and flushed (or, dry, planned)
  kFailed = 1,    // the export failed part-way; what was written stays
  kBadUsage = 2,  // the command line is wrong; nothing was looked at
  kRefused = 3,   // refused before anything was written
};

struct Terminal {
  bool isTerminal = false;  // whether `err` is a terminal
  std::size_t width = 80;
};

// simplekavo-export [--filter PATTERN] [--index PATH] [--dry-run] [--quiet]
//                   SOURCE DEST
// Lists SOURCE as the window's file list does and exports it to DEST through
// the same export as the window. Results go to `out`; progress (only when
// `err` is a terminal) and failures go to `err`.
int runExportCommand(int argc, char** argv, std::ostream& out, std::ostream& err,
                     Terminal terminal = {});

}  // namespace kavo
