#include "cli/export_command.h"

#include <getopt.h>

#include <algorithm>
#include <chrono>
#include <iomanip>
#include <optional>
#include <string>
#include <vector>

#include "cli/dry_run_file_system.h"
#include "cli/step_tracking_file_system.h"
#include "cli/terminal_progress.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "platform/directory_listing.h"
#include "platform/posix_file_system.h"
#include "platform/run_time_error.h"

namespace kavo {

namespace {

constexpr char kProgram[] = "simplekavo-export";
constexpr char kVersion[] = "1.00";

constexpr char kUsage[] =
    "Usage: simplekavo-export [OPTION]... SOURCE DEST\n";

constexpr char kHelp[] =
    "Copy the ROM files in SOURCE into DEST as the directories ROMS0, ROMS1,\n"
    "... of 30 files each, every copy named by its number in the list, and\n"
    "write the index FILES.TXT that names every game and where its copy lies.\n"
    "\n"
    "  -f, --filter PATTERN  export only the files that match PATTERN, such as\n"
    "                        \"*.sms; *.gg\" (default: every file)\n"
    "  -i, --index PATH      write the index to PATH; its file name is\n"
    "                        upper-cased (default: DEST/FILES.TXT)\n"
    "  -n, --dry-run         print the directories, the copies and the index\n"
    "                        that the export would make, and change nothing\n"
    "  -q, --quiet           show no progress line on standard error\n"
    "  -h, --help            show this help and exit\n"
    "  -V, --version         show the version and exit\n"
    "\n"
    "Files are listed as in the window: hidden files, directories and anything\n"
    "that is not a regular file are left out, and the names are numbered in\n"
    "order, ignoring case. Patterns are separated by \";\" and ignore case.\n"
    "\n"
    "Exit status:\n"
    "  0  exported and flushed to the drive (with --dry-run: it would start)\n"
    "  1  the export failed part-way; what was written before the failure stays\n"
    "  2  the command line is wrong\n"
    "  3  refused before anything was written: SOURCE cannot be listed, DEST is\n"
    "     not a directory, a directory ROMSn is already there, or a name holds\n"
    "     a line break\n";

struct Options {
  std::string filter = "*.*";
  std::optional<std::string> index;
  bool dryRun = false;
  bool quiet = false;
  std::string source;
  std::string destination;
};

// The parsed command line, or the status to leave with at once.
struct Parsed {
  std::optional<Options> options;
  int status = kExported;
};

// "dir/" and "dir" name the same directory; the trailing "/" would only
// double the separators in the paths the export builds and reports.
std::string withoutTrailingSlashes(std::string path) {
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  return path;
}

Parsed parse(int argc, char** argv, std::ostream& out, std::ostream& err) {
  static const option kLong[] = {
      {"filter", required_argument, nullptr, 'f'},
      {"index", required_argument, nullptr, 'i'},
      {"dry-run", no_argument, nullptr, 'n'},
      {"quiet", no_argument, nullptr, 'q'},
      {"help", no_argument, nullptr, 'h'},
      {"version", no_argument, nullptr, 'V'},
      {nullptr, 0, nullptr, 0}};
  auto bad = [&](const std::string& problem) {
    err << kProgram << ": " << problem << '\n'
        << kUsage << "Try '" << kProgram << " --help' for more information.\n";
    return Parsed{std::nullopt, kBadUsage};
  };

  Options options;
  optind = 0;  // a fresh scan, also when called more than once
  opterr = 0;  // problems are reported below, in our words
  for (;;) {
    int previous = optind;
    int c = getopt_long(argc, argv, ":f:i:nqhV", kLong, nullptr);
    if (c == -1) break;
    switch (c) {
      case 'f': options.filter = optarg; break;
      case 'i':
        if (*optarg == '\0') return bad("--index needs a path");
        options.index = optarg;
        break;
      case 'n': options.dryRun = true; break;
      case 'q': options.quiet = true; break;
      case 'h':
        out << kUsage << kHelp;
        return {std::nullopt, kExported};
      case 'V':
        out << kProgram << ' ' << kVersion << '\n';
        return {std::nullopt, kExported};
      case ':':
        return bad(std::string("option '") + argv[optind - 1] + "' needs a value");
      default:
        return bad(std::string("unknown option '") +
                   (optopt ? std::string("-") + char(optopt)
                           : std::string(argv[std::max(previous, optind - 1)])) +
                   "'");
    }
  }
  int operands = argc - optind;
  if (operands < 2) return bad("SOURCE and DEST are both needed");
  if (operands > 2) return bad(std::string("unexpected '") + argv[optind + 2] + "'");
  options.source = withoutTrailingSlashes(argv[optind]);
  options.destination = withoutTrailingSlashes(argv[optind + 1]);
  if (options.source.empty() || options.destination.empty())
    return bad("SOURCE and DEST must not be empty");
  return {options, kExported};
}

// Answers the export's one question from the command line. The success
// message is the summary printed afterwards.
class CommandLineDialogs final : public Dialogs {
 public:
  explicit CommandLineDialogs(const std::optional<std::string>& index) : index_(index) {}
  std::string inputBox(const std::string&, const std::string&,
                       const std::string& proposed) override {
    return index_.value_or(proposed);
  }
  void messageBox(const std::string&, const std::string&) override {}

 private:
  const std::optional<std::string>& index_;
};

// The program goes on to print its summary.
class ReturnToCaller final : public ProgramEnd {
 public:
  void end() override {}
};

std::string plural(std::size_t count, const char* one, const char* many) {
  return std::to_string(count) + " " + (count == 1 ? one : many);
}

// A dry run never writes, so its failures leave everything as it was.
int failureStatus(const StepTrackingFileSystem& files, const Options& options) {
  return files.startedWriting() && !options.dryRun ? kFailed : kRefused;
}

int exportWith(const Options& options, std::ostream& out, std::ostream& err,
               Terminal terminal) {
  const auto start = std::chrono::steady_clock::now();
  PosixFileSystem posix;
  DryRunFileSystem dryRun(posix, out);
  StepTrackingFileSystem files(options.dryRun ? static_cast<FileSystem&>(dryRun) : posix);
  CommandLineDialogs dialogs(options.index);
  ReturnToCaller programEnd;
  Host host{files, dialogs, programEnd};
  std::size_t count = 0;
  std::string indexPath;
  try {
    std::vector<std::string> names;
    try {
      names = listFiles(options.source, FilePattern(options.filter));
    } catch (const RunTimeError& error) {
      err << kProgram << ": listing the source: " << error.path() << ": "
          << error.reason() << '\n';
      return kRefused;
    }
    count = names.size();
    indexPath = layout::indexPathFromAnswer(
        options.index.value_or(layout::joinPath(options.destination, kIndexFileName)));
    bool showProgress = terminal.isTerminal && !options.quiet && !options.dryRun;
    TerminalProgress shown(err, terminal.width);
    SilentProgress silent;
    exportRomSet({options.destination, options.source, std::move(names)}, host,
                 showProgress ? static_cast<Progress&>(shown) : silent);
  } catch (const RunTimeError& error) {
    err << kProgram << ": " << files.step() << ": " << error.path() << ": "
        << error.reason() << '\n';
    return failureStatus(files, options);
  } catch (const std::exception& error) {
    err << kProgram << ": " << files.step() << ": " << error.what() << '\n';
    return failureStatus(files, options);
  }
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::string groups = plural(layout::groupCount(count), "group", "groups");

  if (options.dryRun) {
    const std::string& index = dryRun.writtenFiles().at(indexPath);
    const std::size_t records = index.find_last_of('\n') + 1;  // 0 when none
    out << "write " << indexPath << " (" << index.size() << " bytes), records:\n"
        << index.substr(0, records)
        << "Dry run: " << plural(count, "file", "files") << " in " << groups << ", "
        << files.bytesCopied() << " bytes; nothing was changed\n";
    return kExported;
  }
  out << "Exported " << plural(count, "file", "files") << " in " << groups << ", "
      << files.bytesCopied() << " bytes, in " << std::fixed << std::setprecision(2)
      << seconds << " s; index " << indexPath << '\n';
  return kExported;
}

}  // namespace

int runExportCommand(int argc, char** argv, std::ostream& out, std::ostream& err,
                     Terminal terminal) {
  Parsed parsed = parse(argc, argv, out, err);
  if (!parsed.options) return parsed.status;
  return exportWith(*parsed.options, out, err, terminal);
}

}  // namespace kavo
