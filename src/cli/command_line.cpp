// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/command_line.h"

#include <algorithm>

namespace kavo {

namespace {

// Where the help beside each option starts, as GNU programs' --help has it.
constexpr std::size_t kHelpColumn = 24;

const OptionSpec* byLetter(std::span<const OptionSpec> table, char letter) {
  for (const OptionSpec& option : table)
    if (option.letter != 0 && option.letter == letter) return &option;
  return nullptr;
}

// The option a long name on the command line stands for: the one of that
// name, or else the only one whose name begins with it; none when no name
// or several do.
const OptionSpec* byName(std::span<const OptionSpec> table, std::string_view name) {
  if (name.empty()) return nullptr;
  const OptionSpec* found = nullptr;
  int beginnings = 0;
  for (const OptionSpec& option : table) {
    if (option.name == name) return &option;
    if (option.name.starts_with(name)) {
      found = &option;
      ++beginnings;
    }
  }
  return beginnings == 1 ? found : nullptr;
}

std::string quoted(std::string_view text) { return "'" + std::string(text) + "'"; }

// Reads the long option argv[at] ("--name" or "--name=value"), with the
// value from the next argument when it needs one and has no "=". Returns
// the last argument it took.
int readLong(int argc, const char* const* argv, int at, std::span<const OptionSpec> table,
             CommandLine& line) {
  const std::string_view arg = argv[at];
  const std::size_t equals = arg.find('=');
  const std::string_view name = arg.substr(2, equals == arg.npos ? arg.npos : equals - 2);
  const OptionSpec* option = byName(table, name);
  if (option == nullptr) {
    line.problem = "unknown option " + quoted(arg);
  } else if (option->value.empty()) {
    if (equals == arg.npos)
      line.options.push_back({option, {}});
    else
      line.problem = "option " + quoted(arg.substr(0, equals)) + " takes no value";
  } else if (equals != arg.npos) {
    line.options.push_back({option, std::string(arg.substr(equals + 1))});
  } else if (at + 1 < argc) {
    line.options.push_back({option, argv[++at]});
  } else {
    line.problem = "option " + quoted(arg) + " needs a value";
  }
  return at;
}

// Reads the short options in argv[at] ("-nq", "-fVALUE"), with the value of
// the last one from the next argument when it needs one and the argument
// ends. Returns the last argument it took.
int readShort(int argc, const char* const* argv, int at, std::span<const OptionSpec> table,
              CommandLine& line) {
  const std::string_view arg = argv[at];
  for (std::size_t i = 1; i < arg.size(); ++i) {
    const OptionSpec* option = byLetter(table, arg[i]);
    if (option == nullptr) {
      line.problem = "unknown option " + quoted(std::string{'-', arg[i]});
    } else if (option->value.empty()) {
      line.options.push_back({option, {}});
      continue;
    } else if (i + 1 < arg.size()) {
      line.options.push_back({option, std::string(arg.substr(i + 1))});
    } else if (at + 1 < argc) {
      line.options.push_back({option, argv[++at]});
    } else {
      line.problem = "option " + quoted(arg) + " needs a value";
    }
    break;
  }
  return at;
}

}  // namespace

CommandLine readCommandLine(int argc, const char* const* argv, std::span<const OptionSpec> table) {
  CommandLine line;
  bool optionsEnded = false;
  for (int at = 1; at < argc && line.problem.empty(); ++at) {
    const std::string_view arg = argv[at];
    if (optionsEnded || arg.size() < 2 || arg.front() != '-')
      line.operands.emplace_back(arg);
    else if (arg == "--")
      optionsEnded = true;
    else if (arg.starts_with("--"))
      at = readLong(argc, argv, at, table, line);
    else
      at = readShort(argc, argv, at, table, line);
  }
  return line;
}

std::string optionHelp(std::span<const OptionSpec> table) {
  std::string text;
  for (const OptionSpec& option : table) {
    std::string row(option.letter != 0 ? std::string{' ', ' ', '-', option.letter, ',', ' '}
                                       : std::string(6, ' '));
    row.append("--").append(option.name);
    if (!option.value.empty()) row.append(" ").append(option.value);
    // A row too long to have its help beside it has it on the lines below.
    if (row.size() + 2 > kHelpColumn)
      row.append("\n").append(kHelpColumn, ' ');
    else
      row.append(kHelpColumn - row.size(), ' ');
    text += row;
    for (std::size_t start = 0; start < option.help.size();) {
      const std::size_t end = std::min(option.help.find('\n', start), option.help.size());
      if (start > 0) text.append(kHelpColumn, ' ');
      text.append(option.help.substr(start, end - start)).push_back('\n');
      start = end + 1;
    }
  }
  return text;
}

}  // namespace kavo
