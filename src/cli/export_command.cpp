// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/export_command.h"

#include <algorithm>
#include <chrono>
#include <iomanip>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/dry_run.h"
#include "cli/export_options.h"
#include "cli/terminal_progress.h"
#include "cli/terminal_text.h"
#include "export/earlier_layout.h"
#include "export/export_failure.h"
#include "export/export_plan.h"
#include "export/layout_check.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "export/windows1252.h"
#include "listing/directory_listing.h"
#include "platform/services/console.h"
#include "platform/services/current_directory.h"
#include "platform/services/host_file_system.h"
#include "platform/services/interruption.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"
#include "text/counts.h"
#include "version.h"

namespace kavo {

namespace {

constexpr char kProgram[] = "simplekavo-export";

constexpr char kUsage[] =
    "Usage: simplekavo-export [OPTION]... SOURCE DEST\n"
    "  or:  simplekavo-export --check [OPTION]... [SOURCE] DEST\n";

// What the command line asks for (see export_options.h).
using Options = ExportOptions;

// The parsed command line, or the status to leave with at once.
struct Parsed {
  std::optional<Options> options;
  int status = kExported;
};

Parsed parse(int argc, char** argv, std::ostream& out, std::ostream& err) {
  ExportCommandLine line = readExportCommandLine(argc, argv);
  switch (line.action) {
    case ExportCommandLine::Action::Help:
      out << kUsage << exportHelp();
      return {std::nullopt, kExported};
    case ExportCommandLine::Action::Version:
      out << kProgram << ' ' << kVersion << '\n';
      return {std::nullopt, kExported};
    case ExportCommandLine::Action::BadUsage:
      err << kProgram << ": " << line.problem << '\n'
          << kUsage << "Try '" << kProgram << " --help' for more information.\n";
      return {std::nullopt, kBadUsage};
    case ExportCommandLine::Action::Export:
      break;
  }
  return {std::move(line.options), kExported};
}

// "Replaced 1,005 games: 1,000 reused, 5 copied, 0 removed"
std::string replacedText(std::size_t games, std::size_t reused, std::size_t removed,
                         const char* verb = "Replaced") {
  return verb +
         (" " + counted(games, "game", "games") + ": " + withThousands(reused) + " reused, " +
          withThousands(games - reused) + " copied, " + withThousands(removed) + " removed");
}

// The export needs full paths; the command line takes them, as every
// command does, relative to the working directory.
std::string fromWorkingDirectory(const std::string& path) {
  if (paths::isAbsolute(path)) return path;
  return paths::join(currentDirectory(), path);
}

// "simplekavo-export: STEP: PATH: REASON", then the note on lines of its own.
void reportFailure(std::ostream& err, const std::string& step, const RunTimeError& error) {
  err << kProgram << ": " << step << ": ";
  if (!error.path().empty()) err << terminalSafe(error.path()) << ": ";
  err << terminalSafe(error.reason()) << '\n';
  std::string note = error.note();
  for (std::size_t start = 0; start < note.size();) {
    std::size_t end = std::min(note.find('\n', start), note.size());
    err << kProgram << ": " << terminalSafe(note.substr(start, end - start)) << '\n';
    start = end + 1;
  }
}

// A mistyped filter or a source drive that is not mounted lists nothing,
// and a replace would then empty the drive: it is refused, saying so.
int refuseEmptyReplace(const Options& options, FileSystem& files, std::ostream& err) {
  std::size_t games = 0;
  try {
    games = describeDestination(files, options.destination).games;
  } catch (const RunTimeError&) {
    // what stands there is reported by no export at all
  }
  err << kProgram << ": listing the source: " << terminalSafe(options.source) << ": "
      << (options.filter == "*.*" ? std::string("No files")
                                  : "No file matches \"" + terminalSafe(options.filter) + "\"")
      << '\n'
      << kProgram << ": a replace would leave none of the " << counted(games, "game", "games")
      << " in " << terminalSafe(options.destination) << "; nothing was changed\n";
  return kRefused;
}

// The console shows the index in Windows-1252, so a name with a character
// that has no place there loses it: each is named, once, before anything is
// written.
void warnOfLostCharacters(const std::vector<std::string>& names, std::ostream& err) {
  for (const std::string& name : names)
    if (losesCharacters(name))
      err << kProgram << ": warning: " << terminalSafe(name)
          << ": the console cannot show every character; the index names it \""
          << terminalSafe(fromWindows1252(toWindows1252(name))) << "\"\n";
}

// Prints the plan of the export and changes nothing. On a terminal the
// records are shown one a line in its own characters; elsewhere they are
// the index's bytes.
int dryRun(const ExportRequest& request, FileSystem& files, std::ostream& out, bool toTerminal) {
  const auto shown = [toTerminal](std::string_view text) {
    return toTerminal ? terminalSafe(text) : std::string(text);
  };
  const auto shownRecord = [toTerminal](std::string_view record) {
    return toTerminal ? terminalSafe(fromWindows1252(record)) : std::string(record);
  };
  DirectoryClaims claims;
  const ExportPlan plan = planExport(request, files, claims);
  printPlan(plan, out, shown, shownRecord);
  for (const std::string& note : plan.notes) out << "note: " << shown(note) << '\n';
  out << "Dry run: ";
  if (plan.staged)
    out << replacedText(plan.count(), plan.reused, plan.removed(), "would replace") << ", "
        << byteCount(plan.bytes) << " to copy";
  else
    out << counted(plan.count(), "file", "files") << " in "
        << counted(plan.groupCount(), "group", "groups") << ", " << byteCount(plan.bytes);
  out << "; nothing was changed\n";
  return kExported;
}

// The summary of a completed export.
void printSummary(const ExportSummary& result, double seconds, bool quiet, std::ostream& out,
                  std::ostream& err, const std::function<std::string(std::string_view)>& shown) {
  for (const std::string& note : result.notes)
    err << kProgram << ": note: " << terminalSafe(note) << '\n';
  // The new layout is complete; what is left of the earlier one is only in
  // the way of the next export, which --replace clears.
  if (!result.notRemoved.empty()) {
    err << kProgram << ": not everything of the earlier layout could be removed:\n";
    for (const std::string& left : result.notRemoved)
      err << kProgram << ": " << terminalSafe(left) << '\n';
  }
  if (quiet) return;
  if (result.replaced)
    out << replacedText(result.files, result.reused, result.removed);
  else
    out << "Exported " << counted(result.files, "file", "files") << " in "
        << counted(result.groups, "group", "groups");
  out << ", " << byteCount(result.bytes) << ", in " << std::fixed << std::setprecision(2) << seconds
      << " s; index " << shown(result.indexPath) << '\n';
}

// Claims DEST for the check, as an export does, so that no export changes
// it while it is read; an export writing there now is waited for.
std::unique_ptr<DirectoryLock> claimForCheck(FileSystem& files, const std::string& destination,
                                             std::ostream& err) {
  for (bool said = false;;) {
    try {
      return files.lockDirectory(destination);
    } catch (const RunTimeError& error) {
      if (error.reason() != kAnotherExport) throw;
    }
    if (!said)
      err << kProgram << ": waiting for the export writing to " << terminalSafe(destination)
          << " to finish\n";
    said = true;
    throwIfInterrupted();
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
  }
}

// --check: reads the layout in DEST back and lists what differs.
int checkWith(const Options& options, std::ostream& out, std::ostream& err, Terminal terminal) {
  const std::unique_ptr<FileSystem> host = hostFileSystem();
  FileSystem& files = *host;
  LayoutCheckRequest request{options.destination,
                             layout::indexPathFromAnswer(fromWorkingDirectory(
                                 options.index.value_or(proposedIndexPath(options.destination)))),
                             options.source, [&] {
                               return listFiles(files, options.source, FilePattern(options.filter));
                             }};
  try {
    const std::unique_ptr<DirectoryLock> claim = claimForCheck(files, options.destination, err);
    TerminalProgress shown(err, terminal.width);
    SilentProgress silent;
    const bool showProgress = terminal.isTerminal && !options.quiet;
    const LayoutCheck check =
        checkLayout(files, request, showProgress ? static_cast<Progress&>(shown) : silent);
    if (!check.ours) {
      err << kProgram << ": " << terminalSafe(check.why) << '\n';
      return kRefused;
    }
    for (const std::string& difference : check.differences)
      out << (terminal.outIsTerminal ? terminalSafe(difference) : difference) << '\n';
    if (options.quiet && check.differences.empty()) return kExported;
    out << "Checked " << counted(check.copies, "copy", "copies") << ": "
        << (check.differences.empty()
                ? std::string("all match")
                : counted(check.differences.size(), "difference", "differences"))
        << '\n';
    return check.differences.empty() ? kExported : kFailed;
  } catch (const RunTimeError& error) {
    reportFailure(err, "checking", error);
    if (const int signal = interruptionSignal()) return kInterruptedBase + signal;
    return kRefused;
  }
}

int exportWith(const Options& options, std::ostream& out, std::ostream& err, Terminal terminal) {
  const auto start = std::chrono::steady_clock::now();
  auto shownOnOut = [&](std::string_view text) {
    return terminal.outIsTerminal ? terminalSafe(text) : std::string(text);
  };
  const std::unique_ptr<FileSystem> host = hostFileSystem();
  FileSystem& files = *host;
  ExportRequest request{options.destination, options.source, {}, {}};
  try {
    request.names = listFiles(files, options.source, FilePattern(options.filter));
  } catch (const RunTimeError& error) {
    reportFailure(err, "listing the source", error);
    return kRefused;
  }
  if (options.replace && request.names.empty()) return refuseEmptyReplace(options, files, err);
  warnOfLostCharacters(request.names, err);
  try {
    request.indexPath =
        fromWorkingDirectory(options.index.value_or(proposedIndexPath(options.destination)));
    request.replace = options.replace;
    request.compareBytes = options.checksum;
    request.verify = options.verify;
    request.intoSource = options.intoSource;
    if (options.dryRun) return dryRun(request, files, out, terminal.outIsTerminal);
    TerminalProgress shown(err, terminal.width);
    SilentProgress silent;
    const bool showProgress = terminal.isTerminal && !options.quiet;
    const ExportSummary result =
        exportRomSet(request, files, showProgress ? static_cast<Progress&>(shown) : silent);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    printSummary(result, seconds, options.quiet, out, err, shownOnOut);
    return kExported;
  } catch (const ExportFailure& failure) {
    reportFailure(err, failure.step(), failure);
    if (failure.replaceable())
      err << kProgram << ": " << terminalSafe(options.destination)
          << " holds an earlier export; use --replace to replace it\n";
    if (failure.insideSource())
      err << kProgram << ": use --write-into-source to export into the ROM folder all the same\n";
    if (int signal = interruptionSignal()) return kInterruptedBase + signal;
    // A dry run never writes, so its failures leave everything as it was.
    return failure.refused() || options.dryRun ? kRefused : kFailed;
  } catch (const RunTimeError& error) {
    reportFailure(err, "starting", error);
    return kRefused;
  } catch (const std::exception& error) {  // out of memory, or a fault of ours
    err << kProgram << ": " << error.what() << '\n';
    return kFailed;
  }
}

}  // namespace

int runExportCommand(int argc, char** argv, std::ostream& out, std::ostream& err,
                     Terminal terminal) {
  Parsed parsed = parse(argc, argv, out, err);
  int status = !parsed.options         ? parsed.status
               : parsed.options->check ? checkWith(*parsed.options, out, err, terminal)
                                       : exportWith(*parsed.options, out, err, terminal);
  // What was printed is part of the result: a plan that could not be
  // written (a full disk, a closed pipe) is a failure. A summary that could
  // not be is said apart, since the layout is complete by then.
  // A stream that failed already failed at its last write, whose reason is
  // still the one to give.
  if (out) {
    console::forgetWriteFailure();
    out.flush();
  }
  if (!out) {
    const std::string reason = console::writeFailure();
    err << kProgram << ": writing to standard output: " << reason << '\n';
    if (status != kExported) return status;
    if (parsed.options && !parsed.options->dryRun && !parsed.options->check) {
      err << kProgram
          << ": the export is complete and flushed to the drive; only its summary "
             "was lost\n";
      return kReportLost;
    }
    return kFailed;
  }
  return status;
}

}  // namespace kavo
