// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>

namespace kavo {

// What the command line of simplekavo-export asks for.
struct ExportOptions {
  std::string filter = "*.*";
  std::optional<std::string> index;
  bool dryRun = false;
  bool quiet = false;
  bool replace = false;
  bool checksum = false;
  bool verify = true;
  bool check = false;
  bool intoSource = false;
  bool eject = false;  // after a completed export, eject DEST's drive
  // One version of each game, regions in the order the player gives
  // ("USA,EUR,JPN"; checked as read) or the default one.
  bool onePerGame = false;
  std::optional<std::string> prefer;
  std::optional<std::string> dat;  // the DAT to identify the files by
  bool datNames = false;           // records take the DAT's names
  std::optional<std::string> report;
  std::string source;  // empty with --check and DEST alone
  std::string destination;
};

// The command line read: what to do, and with which options.
struct ExportCommandLine {
  enum class Action { Export, Help, Version, BadUsage };
  Action action = Action::Export;
  ExportOptions options;  // with Export (--check and --dry-run included)
  std::string problem;    // with BadUsage, said for "simplekavo-export: PROBLEM"
};

// Reads argv[1] on. --help and --version answer at once where they stand;
// the first fault found before them makes the command line bad.
ExportCommandLine readExportCommandLine(int argc, const char* const* argv);

// What --help prints after the usage lines: the options from the table the
// command line is read by, and what goes around them.
std::string exportHelp();

}  // namespace kavo
