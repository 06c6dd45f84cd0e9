// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kavo {

// One option of a command, as a table row that drives both the reading of
// the command line and the option list of --help.
struct OptionSpec {
  int id;                  // what the command calls it
  std::string_view name;   // the long name, "filter" for --filter
  char letter;             // the short one, 'f' for -f, or 0 for none
  std::string_view value;  // the value's name in --help ("PATTERN"), or
                           // empty for an option that takes none
  std::string_view help;   // its lines, "\n" between, each to fit in 80
                           // columns from the 25th on
};

// An option as the command line gave it.
struct OptionUse {
  const OptionSpec* option;
  std::string value;
};

struct CommandLine {
  std::vector<OptionUse> options;     // in the order given
  std::vector<std::string> operands;  // likewise
  // What is wrong with the command line, said for "PROGRAM: PROBLEM", or
  // empty. The options before the fault are read; nothing after it is.
  std::string problem;
};

// Reads argv[1] on as GNU programs do. "-f VALUE", "-fVALUE", "--filter
// VALUE" and "--filter=VALUE" give a value; flags combine ("-nq", "-nfVALUE");
// a long name may be cut short to any beginning that no other name shares
// ("--rep"); options may follow operands; "--" ends the options, and "-"
// alone is an operand. An option's value is the next argument whatever it
// is, "-q" and "--" included.
CommandLine readCommandLine(int argc, const char* const* argv, std::span<const OptionSpec> table);

// The option list of --help, one option a row: "  -f, --filter PATTERN"
// and the help's lines beside it from the 25th column on.
std::string optionHelp(std::span<const OptionSpec> table);

}  // namespace kavo
