// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/export_options.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/command_line.h"

namespace kavo {
namespace {

// The command line read, in a line: "help", "version", "bad: PROBLEM", or
// the filter, the index when given, the flags, then SOURCE -> DEST.
std::string read(std::vector<std::string> args) {
  args.insert(args.begin(), "simplekavo-export");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  const ExportCommandLine line = readExportCommandLine(static_cast<int>(argv.size()), argv.data());
  switch (line.action) {
    case ExportCommandLine::Action::Help:
      return "help";
    case ExportCommandLine::Action::Version:
      return "version";
    case ExportCommandLine::Action::BadUsage:
      return "bad: " + line.problem;
    case ExportCommandLine::Action::Export:
      break;
  }
  const ExportOptions& options = line.options;
  std::ostringstream text;
  text << "filter " << options.filter;
  if (options.index) text << " index " << *options.index;
  const std::pair<bool, const char*> flags[] = {
      {options.dryRun, "-n"},           {options.quiet, "-q"},
      {options.replace, "-r"},          {options.checksum, "-c"},
      {!options.verify, "--no-verify"}, {options.check, "-k"},
      {options.eject, "--eject"}};
  for (const auto& [set, flag] : flags)
    if (set) text << ' ' << flag;
  if (options.onePerGame) text << " --one-per-game";
  if (options.prefer) text << " prefer " << *options.prefer;
  if (options.dat) text << " dat " << *options.dat;
  if (options.datNames) text << " names dat";
  if (options.report) text << " report " << *options.report;
  text << ": " << options.source << " -> " << options.destination;
  return text.str();
}

TEST(ExportOptions, ReadsTheCommandLineAsGetoptLongDid) {
  const struct {
    std::vector<std::string> args;
    std::string read;
  } cases[] = {
      {{"src", "dst"}, "filter *.*: src -> dst"},
      {{"src/", "dst//"}, "filter *.*: src -> dst"},
      // Values: joined, apart, after "=", and whatever the next argument is.
      {{"-f*.gg", "src", "dst"}, "filter *.gg: src -> dst"},
      {{"-f", "*.gg", "src", "dst"}, "filter *.gg: src -> dst"},
      {{"--filter=*.gg", "src", "dst"}, "filter *.gg: src -> dst"},
      {{"--filter", "*.gg", "src", "dst"}, "filter *.gg: src -> dst"},
      {{"--filter=a=b", "src", "dst"}, "filter a=b: src -> dst"},
      {{"--filter=", "src", "dst"}, "filter : src -> dst"},
      {{"-f", "-q", "src", "dst"}, "filter -q: src -> dst"},
      {{"--filter", "--", "src", "dst"}, "filter --: src -> dst"},
      {{"-f=", "src", "dst"}, "filter =: src -> dst"},
      {{"-i", "x.txt", "src", "dst"}, "filter *.* index x.txt: src -> dst"},
      {{"-ix.txt", "src", "dst"}, "filter *.* index x.txt: src -> dst"},
      {{"--index==x", "src", "dst"}, "filter *.* index =x: src -> dst"},
      {{"-f", "a", "-f", "b", "src", "dst"}, "filter b: src -> dst"},  // the last one counts
      // Flags, one by one and together, with a value at the end.
      {{"-n", "-q", "src", "dst"}, "filter *.* -n -q: src -> dst"},
      {{"-nq", "src", "dst"}, "filter *.* -n -q: src -> dst"},
      {{"-qqq", "src", "dst"}, "filter *.* -q: src -> dst"},
      {{"-nf*.gg", "src", "dst"}, "filter *.gg -n: src -> dst"},
      {{"-nf", "*.gg", "src", "dst"}, "filter *.gg -n: src -> dst"},
      {{"-rc", "--no-verify", "src", "dst"}, "filter *.* -r -c --no-verify: src -> dst"},
      {{"-k", "dst"}, "filter *.* -k:  -> dst"},
      {{"--check", "src", "dst"}, "filter *.* -k: src -> dst"},
      // Long names cut short, when no other name begins alike: --report and
      // --dat made "--rep" and "--d" stand for two options each.
      {{"--repl", "--dr", "--fil=x", "--in", "y", "src", "dst"},
       "filter x index y -n -r: src -> dst"},
      {{"--rep", "src", "dst"}, "bad: unknown option '--rep'"},
      {{"--d", "src", "dst"}, "bad: unknown option '--d'"},
      {{"--n", "src", "dst"}, "bad: unknown option '--n'"},
      {{"--one", "--pref=JPN", "--da", "x.dat", "--na=dat", "--repo", "r.csv", "src", "dst"},
       "filter *.* --one-per-game prefer JPN dat x.dat names dat report r.csv: src -> dst"},
      {{"--checks", "-r", "src", "dst"}, "filter *.* -r -c: src -> dst"},
      {{"--no", "src", "dst"}, "filter *.* --no-verify: src -> dst"},
      {{"--c", "src", "dst"}, "bad: unknown option '--c'"},
      {{"--che", "src", "dst"}, "bad: unknown option '--che'"},
      // Options after operands; "--" ends them; "-" is an operand.
      {{"src", "dst", "-n"}, "filter *.* -n: src -> dst"},
      {{"src", "-n", "dst"}, "filter *.* -n: src -> dst"},
      {{"-n", "--", "src", "dst"}, "filter *.* -n: src -> dst"},
      {{"--", "-n", "dst"}, "filter *.*: -n -> dst"},
      {{"-", "dst"}, "filter *.*: - -> dst"},
      {{"src", "-"}, "filter *.*: src -> -"},
      {{"--", "-n", "src", "dst"}, "bad: unexpected 'dst'"},
      {{"src", "dst", "--", "-n"}, "bad: unexpected '-n'"},
      // --help and --version answer where they stand.
      {{"--help", "-x"}, "help"},
      {{"-hx"}, "help"},
      {{"--he"}, "help"},
      {{"--v"}, "version"},
      {{"-Vh"}, "version"},
      {{"-x", "--help"}, "bad: unknown option '-x'"},
      {{"--index=", "--help"}, "bad: --index needs a path"},
      {{"--", "--help"}, "bad: SOURCE and DEST are both needed"},
      // Faults, in the words the command has always used.
      {{"--bogus", "src", "dst"}, "bad: unknown option '--bogus'"},
      {{"--bogus=1", "src", "dst"}, "bad: unknown option '--bogus=1'"},
      {{"---help"}, "bad: unknown option '---help'"},
      {{"--=x", "src", "dst"}, "bad: unknown option '--=x'"},
      {{"-x", "src", "dst"}, "bad: unknown option '-x'"},
      {{"-nx", "src", "dst"}, "bad: unknown option '-x'"},
      {{"-n-", "src", "dst"}, "bad: unknown option '--'"},
      {{"-?"}, "bad: unknown option '-?'"},
      {{"src", "dst", "-f"}, "bad: option '-f' needs a value"},
      {{"src", "dst", "-nf"}, "bad: option '-nf' needs a value"},
      {{"src", "dst", "--fil"}, "bad: option '--fil' needs a value"},
      {{"src", "dst", "--index"}, "bad: option '--index' needs a value"},
      {{"--index=", "src", "dst"}, "bad: --index needs a path"},
      {{"-i", "", "src", "dst"}, "bad: --index needs a path"},
      {{"--dry=x", "src", "dst"}, "bad: option '--dry' takes no value"},
      {{"--no-verify=", "src", "dst"}, "bad: option '--no-verify' takes no value"},
      {{}, "bad: SOURCE and DEST are both needed"},
      {{"-k"}, "bad: SOURCE and DEST are both needed"},
      {{"a", "b", "c"}, "bad: unexpected 'c'"},
      {{"", "dst"}, "bad: SOURCE and DEST must not be empty"},
      {{"-c", "src", "dst"}, "bad: --checksum needs --replace"},
      {{"-kr", "src", "dst"},
       "bad: --check changes nothing: it takes neither --replace nor --dry-run"},
      // --eject follows an export, which a dry run and a check are not.
      {{"--eject", "-r", "src", "dst"}, "filter *.* -r --eject: src -> dst"},
      {{"--e", "src", "dst"}, "filter *.* --eject: src -> dst"},
      {{"--eject", "-n", "src", "dst"},
       "bad: --eject follows an export: it takes neither --check nor --dry-run"},
      {{"-k", "--eject", "dst"},
       "bad: --eject follows an export: it takes neither --check nor --dry-run"},
      {{"--eject=now", "src", "dst"}, "bad: option '--eject' takes no value"},
      // One version of each game, DATs and their names and report.
      {{"--one-per-game", "src", "dst"}, "filter *.* --one-per-game: src -> dst"},
      {{"--one-per-game", "--prefer", "usa, eur,JPN", "src", "dst"},
       "filter *.* --one-per-game prefer usa, eur,JPN: src -> dst"},
      {{"--dat", "x.dat", "--names", "own", "src", "dst"}, "filter *.* dat x.dat: src -> dst"},
      {{"--prefer", "JPN", "src", "dst"}, "bad: --prefer needs --one-per-game"},
      {{"--one-per-game", "--prefer", "USA,,JPN", "src", "dst"},
       "bad: --prefer: a region is missing between the commas"},
      {{"--one-per-game", "--prefer", "USA,US", "src", "dst"},
       "bad: --prefer: \"US\" names USA a second time"},
      {{"--one-per-game", "--prefer=", "src", "dst"},
       "bad: --prefer: a region is missing between the commas"},
      {{"--names", "DAT", "--dat", "x.dat", "src", "dst"}, "bad: --names takes dat or own"},
      {{"--names", "dat", "src", "dst"}, "bad: --names dat needs --dat"},
      {{"--report", "r.csv", "src", "dst"}, "bad: --report needs --dat"},
      {{"--dat=", "src", "dst"}, "bad: --dat needs a file"},
      {{"--dat", "x.dat", "--report=", "src", "dst"}, "bad: --report needs a file"},
      {{"-k", "--one-per-game", "dst"},
       "bad: --check takes the files and their names from the layout's manifest: it takes none "
       "of --one-per-game, --prefer, --dat, --names or --report"},
  };
  for (const auto& c : cases) {
    std::string args;
    for (const std::string& arg : c.args) args += " [" + arg + "]";
    EXPECT_EQ(read(c.args), c.read) << "argv:" << args;
  }
}

// The option list comes from a table: a letter or room for one, the value's
// name, and the help beside it from the 25th column, or below a long row.
TEST(ExportOptions, HelpListsTheOptionsOfTheTable) {
  const OptionSpec table[] = {
      {0, "alpha", 'a', "", "one line"},
      {1, "beta-gamma", 0, "VALUE", "first line\nsecond line"},
      {2, "a-long-option-name", 'l', "THING", "help"},
  };
  EXPECT_EQ(optionHelp(table),
            "  -a, --alpha           one line\n"
            "      --beta-gamma VALUE\n"
            "                        first line\n"
            "                        second line\n"
            "  -l, --a-long-option-name THING\n"
            "                        help\n");

  // The command's own, with every row of the table, fits 80 columns.
  const std::string help = exportHelp();
  std::istringstream lines(help);
  int options = 0;
  for (std::string line; std::getline(lines, line);) {
    EXPECT_LT(line.size(), 80u) << line;
    if (line.starts_with("  -") || line.starts_with("      --")) ++options;
  }
  EXPECT_EQ(options, 17);
  EXPECT_NE(help.find("  -f, --filter PATTERN  export only the files that match PATTERN"),
            std::string::npos);
}

}  // namespace
}  // namespace kavo
