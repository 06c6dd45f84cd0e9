// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <ostream>

namespace kavo {

// The exit statuses of simplekavo-export.
enum ExitStatus : int {
  kExported = 0,  // the layout is written and flushed (or, dry, planned)
  kFailed = 1,    // the export failed part-way; what it made was taken back
  kBadUsage = 2,  // the command line is wrong; nothing was looked at
  kRefused = 3,   // refused before anything was written
  // The layout is written and flushed, but the summary could not be written
  // to standard output (a closed pipe, a full disk); said on standard error.
  kReportLost = 4,
  // The layout is written and flushed, but --eject left the drive mounted
  // (busy, not allowed, not a drive that can be ejected, nothing to eject
  // it with); said on standard error with what to do.
  kNotEjected = 5,
  // An export stopped by a signal exits with 128 plus the signal's number
  // (129 for SIGHUP, 130 for Ctrl-C, 143 for SIGTERM), after taking back
  // what it made.
  kInterruptedBase = 128,
};

struct Terminal {
  bool isTerminal = false;  // whether `err` is a terminal
  std::size_t width = 80;
  bool outIsTerminal = false;  // whether `out` is a terminal
};

// simplekavo-export [OPTION]... SOURCE DEST (see --help)
// Lists SOURCE as the window's file list does and exports it to DEST through
// the same export as the window; with --eject, then ejects DEST's drive
// through the host's ejector (udisks2, found on the system bus). Results go to `out`; progress
// (only when `err` is a terminal) and failures go to `err`. Names reach `err`, and `out` when it is
// a terminal, with control characters escaped. A failure to write `out` is a failure of the
// command.
int runExportCommand(int argc, char** argv, std::ostream& out, std::ostream& err,
                     Terminal terminal = {});

}  // namespace kavo
