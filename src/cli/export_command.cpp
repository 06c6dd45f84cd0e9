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

#include "catalog/selection.h"
#include "cli/dry_run.h"
#include "cli/export_options.h"
#include "cli/terminal_progress.h"
#include "cli/terminal_text.h"
#include "export/earlier_layout.h"
#include "export/export_failure.h"
#include "export/export_plan.h"
#include "export/export_writer.h"
#include "export/layout_check.h"
#include "export/next_step.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "export/windows1252.h"
#include "listing/directory_listing.h"
#include "platform/services/console.h"
#include "platform/services/current_directory.h"
#include "platform/services/drive_eject.h"
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
      out << kProgram << ' ' << kVersion << '\n' << kCopyright;
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
  // The same next step the window shows beneath its error box.
  if (const std::string next = nextStep(error); !next.empty())
    err << kProgram << ": " << terminalSafe(next) << '\n';
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
void warnOfLostCharacters(const ExportPlan& plan, std::ostream& err) {
  for (std::size_t j = 0; j < plan.count(); ++j)
    if (const std::string& name = plan.recordName(j); losesCharacters(name))
      err << kProgram << ": warning: " << terminalSafe(name)
          << ": the console cannot show every character; the index names it \""
          << terminalSafe(fromWindows1252(toWindows1252(name))) << "\"\n";
}

// The order of regions the options ask for, in the player's locale.
catalog::SelectionRequest selectionRequest(const Options& options) {
  const std::string locale = catalog::localeOfEnvironment();
  catalog::SelectionRequest request;
  request.onePerGame = options.onePerGame;
  request.order = options.prefer ? catalog::parseRegionOrder(*options.prefer, locale)
                                 : catalog::defaultRegionOrder(locale);
  request.datNames = options.datNames;
  return request;
}

// With --one-per-game or --dat: narrows the request to the files the export
// takes, with the DAT's names when asked, and writes the report; prints
// which version each game kept (a dry run) or how many, and what the folder
// holds of the DAT. Returns the status to leave with when it fails.
std::optional<int> selectFiles(const Options& options, FileSystem& files, ExportRequest& request,
                               std::ostream& out, std::ostream& err, bool outIsTerminal) {
  if (!options.onePerGame && !options.dat) return std::nullopt;
  const auto shown = [outIsTerminal](std::string_view text) {
    return outIsTerminal ? terminalSafe(text) : std::string(text);
  };
  const catalog::SelectionRequest asked = selectionRequest(options);
  catalog::Selection selection;
  const char* step = "checking the report path";
  try {
    const std::string datPath = options.dat.value_or("");
    if (options.report) catalog::checkReportPath(files, *options.report, options.source, datPath);
    step = "reading the DAT";
    std::optional<catalog::Dat> dat;
    if (options.dat) dat = catalog::readDat(files, *options.dat);
    step = "identifying the files";
    selection =
        catalog::select(files, options.source, std::move(request.names), asked, std::move(dat));
    step = "writing the report";
    if (options.report)
      catalog::writeReport(files, *options.report, options.source, selection.report(), datPath);
  } catch (const RunTimeError& error) {
    reportFailure(err, step, error);
    if (const int signal = interruptionSignal()) return kInterruptedBase + signal;
    return kRefused;
  }
  if (options.dryRun && selection.choice)
    printChoice(*selection.choice, selection.listed, asked.order, out, shown);
  if (options.dryRun || !options.quiet) {
    if (selection.choice) out << keptSummary(*selection.choice) << '\n';
    if (selection.dat) out << catalog::summaryLine(selection.counts()) << '\n';
  }
  request.names = std::move(selection.names);
  request.recordNames = std::move(selection.recordNames);
  return std::nullopt;
}

// Prints the plan of the export and changes nothing. On a terminal the
// records are shown one a line in its own characters; elsewhere they are
// the index's bytes.
int dryRun(const ExportPlan& plan, std::ostream& out, bool toTerminal) {
  const auto shown = [toTerminal](std::string_view text) {
    return toTerminal ? terminalSafe(text) : std::string(text);
  };
  const auto shownRecord = [toTerminal](std::string_view record) {
    return toTerminal ? terminalSafe(fromWindows1252(record)) : std::string(record);
  };
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
  if (const std::optional<int> status =
          selectFiles(options, files, request, out, err, terminal.outIsTerminal))
    return *status;
  try {
    request.indexPath =
        fromWorkingDirectory(options.index.value_or(proposedIndexPath(options.destination)));
    request.replace = options.replace;
    request.compareBytes = options.checksum;
    request.verify = options.verify;
    request.intoSource = options.intoSource;
    // The file the list matched in each archive is the one exported.
    request.wanted = romFilterOf(FilePattern(options.filter));
    DirectoryClaims claims;  // held until the export ends
    const ExportPlan plan = planExport(request, files, claims);
    // The names the index takes, an archive's ROM's among them.
    warnOfLostCharacters(plan, err);
    if (options.dryRun) return dryRun(plan, out, terminal.outIsTerminal);
    TerminalProgress shown(err, terminal.width);
    SilentProgress silent;
    const bool showProgress = terminal.isTerminal && !options.quiet;
    const ExportSummary result =
        ExportWriter(plan, files, showProgress ? static_cast<Progress&>(shown) : silent).run();
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

// --eject, once the export is complete and has let DEST go: its drive is
// unmounted and powered off. A drive that stays mounted is said with what
// to do about it, and has a status of its own; one that was unmounted can
// be unplugged, even if it could not be powered off.
int ejectDestination(const Options& options, std::ostream& out, std::ostream& err,
                     Terminal terminal) {
  out.flush();  // the summary first: ejecting may wait for the drive
  const EjectResult result = hostDriveEjector()->eject(fromWorkingDirectory(options.destination));
  if (result.outcome == EjectOutcome::Ejected) {
    if (!options.quiet)
      out << (terminal.outIsTerminal ? terminalSafe(result.message()) : result.message()) << '\n';
    return kExported;
  }
  err << kProgram << ": " << terminalSafe(result.message()) << '\n';
  return result.unmounted ? kExported : kNotEjected;
}

}  // namespace

int runExportCommand(int argc, char** argv, std::ostream& out, std::ostream& err,
                     Terminal terminal) {
  Parsed parsed = parse(argc, argv, out, err);
  int status = !parsed.options         ? parsed.status
               : parsed.options->check ? checkWith(*parsed.options, out, err, terminal)
                                       : exportWith(*parsed.options, out, err, terminal);
  // After exportWith, whose claims on DEST are gone with it.
  if (status == kExported && parsed.options && parsed.options->eject)
    status = ejectDestination(*parsed.options, out, err, terminal);
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
