// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/export_options.h"

#include <stdexcept>
#include <vector>

#include "catalog/region_order.h"
#include "cli/command_line.h"
#include "platform/services/paths.h"

namespace kavo {

namespace {

enum Option {
  Filter,
  Index,
  Replace,
  Checksum,
  NoVerify,
  IntoSource,
  OnePerGame,
  Prefer,
  Dat,
  Names,
  Report,
  Check,
  DryRun,
  Quiet,
  Eject,
  Help,
  Version
};

// The options as --help lists them.
constexpr OptionSpec kOptions[] = {
    {Filter, "filter", 'f', "PATTERN",
     "export only the files that match PATTERN, such as\n"
     "\"*.sms; *.gg\" (default: every file); a zipped game\n"
     "matches when the ROM inside does"},
    {Index, "index", 'i', "PATH",
     "write the index to PATH, a file; its file name is\n"
     "upper-cased (default: DEST/FILES.TXT)"},
    {Replace, "replace", 'r', "",
     "replace an earlier layout in DEST: build the new one\n"
     "beside it, reuse the earlier copies that are still\n"
     "right, swap it in and remove what is left"},
    {Checksum, "checksum", 'c', "",
     "with --replace, reuse an earlier copy only when its\n"
     "bytes as the drive returns them are the source's\n"
     "(default: when the manifest says they are)"},
    {NoVerify, "no-verify", 0, "",
     "do not read the copies back from the drive before\n"
     "the new layout takes its place"},
    {IntoSource, "write-into-source", 0, "",
     "let DEST be SOURCE or a folder inside it (refused\n"
     "otherwise: the layout would be listed as games)"},
    {OnePerGame, "one-per-game", 0, "",
     "export one version of each game: of the files of\n"
     "one title (or, with --dat, of one game and its\n"
     "clones), the release in the first region of the\n"
     "order, then the latest version; never a bad dump,\n"
     "and a beta, demo, prototype or hack only when the\n"
     "game has nothing else"},
    {Prefer, "prefer", 0, "LIST",
     "with --one-per-game, the regions in the order you\n"
     "prefer, such as USA,EUR,JPN; the others follow in\n"
     "the default order (Europe, World, USA, Japan; in\n"
     "a US locale USA, Europe, World, Japan)"},
    {Dat, "dat", 0, "FILE",
     "identify the files by the DAT FILE (Logiqx XML or\n"
     "clrmamepro) from their sizes and CRC32 (and SHA-1),\n"
     "and print how many of its games SOURCE holds; with\n"
     "--one-per-game its clones are versions of a game"},
    {Names, "names", 0, "dat|own",
     "with --dat, name the games in the index as the DAT\n"
     "does (dat), or by their file names (own, the\n"
     "default)"},
    {Report, "report", 0, "FILE",
     "with --dat, write to FILE (CSV) each of the DAT's\n"
     "games as identified, duplicate, bad dump or\n"
     "missing, and each file it does not know (also with\n"
     "--dry-run)"},
    {Check, "check", 'k', "",
     "change nothing: read the layout in DEST back from\n"
     "the drive and compare every copy with its manifest,\n"
     "and, given SOURCE, with what an export of SOURCE\n"
     "would write; list each difference"},
    {DryRun, "dry-run", 'n', "",
     "print the directories, the copies and the index\n"
     "that the export would make, and change nothing"},
    {Quiet, "quiet", 'q', "",
     "print nothing but errors and warnings, and no\n"
     "progress line"},
    {Eject, "eject", 0, "",
     "after the export, unmount DEST's drive and power it\n"
     "off, so that it can be unplugged (see exit status 5)"},
    {Help, "help", 'h', "", "show this help and exit"},
    {Version, "version", 'V', "", "show the version and exit"},
};

constexpr char kAbout[] =
    "Copy the ROM files in SOURCE into DEST as the directories ROMS0, ROMS1,\n"
    "... of at most 30 files each, every copy named by its number in the list,\n"
    "and write the index FILES.TXT that names every game and where its copy\n"
    "lies. A zipped game (.zip, .7z, .gz) is unpacked on the way.\n"
    "\n";

constexpr char kMore[] =
    "\n"
    "Files are listed as in the window: hidden files, directories and anything\n"
    "that is not a regular file are left out, and the names are numbered in\n"
    "order, ignoring case. Patterns are separated by \";\" and ignore case.\n"
    "\n"
    "A listed .zip, .7z or .gz holding one ROM is exported as that ROM: \"Sonic\n"
    "(USA).zip\" holding \"Sonic (USA).sms\" becomes ROMS0/4.SMS, named \"Sonic\n"
    "(USA).sms\" in the index. The filter looks at the ROM inside, not at the\n"
    "archive's name, and says which of the archive's files is the ROM; without\n"
    "a filter it is the one that is not a text, image or info file, so a\n"
    "readme or a cover beside it is left in the archive.\n"
    "\n"
    "An export completes, everything it wrote flushed to the drive and then read\n"
    "back from it, or takes back what it made and leaves DEST as it was; an\n"
    "earlier index is replaced only by a complete one. A drive that reads back\n"
    "other bytes than it was given is said to be untrustworthy: other files on\n"
    "it may have changed. Beside the layout the export writes its manifest,\n"
    "KAVOSUMS.TXT: each copy's size, the hash of its bytes and of three sampled\n"
    "blocks, and the name of the file it was made from.\n"
    "\n"
    "To refresh a drive, export again with --replace. An earlier copy of a\n"
    "listed name is moved to its new place instead of written again when the\n"
    "manifest says it holds the source's bytes (the source is the one it was\n"
    "copied from, unchanged, on a file system that keeps files' identities, or\n"
    "hashes alike); without a manifest its bytes are compared. The sampled\n"
    "blocks of every copy kept are read back. An earlier layout is replaced\n"
    "only when its directories ROMSn hold nothing but copies this program made,\n"
    "and on a drive whose renamed folders keep their files.\n"
    "\n"
    "With --one-per-game, the files of one game are those whose titles (the\n"
    "name up to its first tag in parentheses or brackets) are the same but\n"
    "for case, or with --dat those the DAT makes a game and its clones; a\n"
    "dry run shows which version each game kept and why. Files the DAT does\n"
    "not know are each kept as a game of their own.\n"
    "\n"
    "Exit status:\n"
    "  0    exported and flushed to the drive (with --dry-run: it would start;\n"
    "       with --check: everything matches)\n"
    "  1    the export failed part-way; what it made was taken back (the\n"
    "       message names anything that could not be); with --check: something\n"
    "       differs\n"
    "  2    the command line is wrong\n"
    "  3    refused before anything was written: SOURCE cannot be listed, DEST\n"
    "       is not a directory or another export is writing to it, a directory\n"
    "       ROMSn is already there (see --replace) or is not this program's,\n"
    "       the index path is not usable or lies in what a replace removes, a\n"
    "       source cannot be read or lies in what a replace removes, two files\n"
    "       would take one copy name, a name is too long, holds a line break or\n"
    "       a character FAT does not take, a file is too large for FAT32, the\n"
    "       drive has too little free space, --replace lists no file, or DEST\n"
    "       is SOURCE or inside it (see --write-into-source), the DAT cannot\n"
    "       be read, or the report cannot be written; with --check: DEST holds\n"
    "       no layout of this program's\n"
    "  4    exported and flushed to the drive, but the summary could not be\n"
    "       written to standard output (a closed pipe, a full disk)\n"
    "  5    exported and flushed to the drive, but with --eject the drive stays\n"
    "       mounted: it is in use, this computer did not allow it, it is not a\n"
    "       drive that can be ejected, or nothing here ejects drives (no\n"
    "       udisks2); the message says which and what to do\n"
    "  130  interrupted by Ctrl-C (129: by SIGHUP, 143: by SIGTERM); what it\n"
    "       made was taken back\n"
    "\n"
    "Examples:\n"
    "  simplekavo-export --filter '*.sms; *.gg' --dry-run ~/roms /media/usb\n"
    "      Show what exporting the Master System and Game Gear games in ~/roms,\n"
    "      zipped ones included, to the stick at /media/usb would do.\n"
    "  simplekavo-export --filter '*.sms; *.gg' ~/roms /media/usb\n"
    "      Export them.\n"
    "  simplekavo-export --filter '*.sms; *.gg' --replace ~/roms /media/usb\n"
    "      Refresh the stick after adding games: only what changed is written.\n"
    "  simplekavo-export --check ~/roms /media/usb\n"
    "      Read the stick back and compare it with the games it was made from.\n";

// Takes an option of one version per game and of DATs; what is wrong with
// its value, or nothing.
std::string takeCatalogOption(const OptionUse& use, ExportOptions& options) {
  switch (use.option->id) {
    case OnePerGame:
      options.onePerGame = true;
      break;
    case Prefer:
      try {
        catalog::parseRegionOrder(use.value, "");
      } catch (const std::invalid_argument& error) {
        return std::string("--prefer: ") + error.what();
      }
      options.prefer = use.value;
      break;
    case Dat:
      if (use.value.empty()) return "--dat needs a file";
      options.dat = use.value;
      break;
    case Names:
      if (use.value != "dat" && use.value != "own") return "--names takes dat or own";
      options.datNames = use.value == "dat";
      break;
    case Report:
      if (use.value.empty()) return "--report needs a file";
      options.report = use.value;
      break;
  }
  return {};
}

// What is wrong with the options of one version per game and of DATs.
std::string catalogProblem(const ExportOptions& options) {
  if (options.check &&
      (options.onePerGame || options.prefer || options.dat || options.datNames || options.report))
    return "--check takes the files and their names from the layout's manifest: it takes "
           "none of --one-per-game, --prefer, --dat, --names or --report";
  if (options.prefer && !options.onePerGame) return "--prefer needs --one-per-game";
  if (options.datNames && !options.dat) return "--names dat needs --dat";
  if (options.report && !options.dat) return "--report needs --dat";
  return {};
}

// SOURCE and DEST, or with --check DEST alone; what is wrong with them, or
// nothing.
std::string takeOperands(ExportOptions& options, const std::vector<std::string>& operands) {
  const std::size_t wanted = options.check && operands.size() == 1 ? 1 : 2;
  if (operands.size() < wanted) return "SOURCE and DEST are both needed";
  if (operands.size() > wanted) return "unexpected '" + operands[wanted] + "'";
  if (wanted == 2) options.source = paths::withoutTrailingSeparators(operands[0]);
  options.destination = paths::withoutTrailingSeparators(operands[wanted - 1]);
  if ((wanted == 2 && options.source.empty()) || options.destination.empty())
    return "SOURCE and DEST must not be empty";
  if (options.checksum && !options.replace) return "--checksum needs --replace";
  if (options.check && (options.replace || options.dryRun))
    return "--check changes nothing: it takes neither --replace nor --dry-run";
  if (options.eject && (options.check || options.dryRun))
    return "--eject follows an export: it takes neither --check nor --dry-run";
  return catalogProblem(options);
}

}  // namespace

ExportCommandLine readExportCommandLine(int argc, const char* const* argv) {
  using Action = ExportCommandLine::Action;
  const CommandLine line = readCommandLine(argc, argv, kOptions);
  ExportCommandLine read;
  ExportOptions& options = read.options;
  auto bad = [](std::string problem) { return ExportCommandLine{Action::BadUsage, {}, problem}; };
  for (const OptionUse& use : line.options) {
    switch (use.option->id) {
      case Filter:
        options.filter = use.value;
        break;
      case Index:
        if (use.value.empty()) return bad("--index needs a path");
        options.index = use.value;
        break;
      case Replace:
        options.replace = true;
        break;
      case Checksum:
        options.checksum = true;
        break;
      case NoVerify:
        options.verify = false;
        break;
      case Check:
        options.check = true;
        break;
      case DryRun:
        options.dryRun = true;
        break;
      case Quiet:
        options.quiet = true;
        break;
      case IntoSource:
        options.intoSource = true;
        break;
      case Eject:
        options.eject = true;
        break;
      case OnePerGame:
      case Prefer:
      case Dat:
      case Names:
      case Report:
        if (std::string problem = takeCatalogOption(use, options); !problem.empty())
          return bad(problem);
        break;
      case Help:
        return {Action::Help, {}, {}};
      case Version:
        return {Action::Version, {}, {}};
    }
  }
  if (!line.problem.empty()) return bad(line.problem);
  if (std::string problem = takeOperands(options, line.operands); !problem.empty())
    return bad(problem);
  return read;
}

std::string exportHelp() { return kAbout + optionHelp(kOptions) + kMore; }

}  // namespace kavo
