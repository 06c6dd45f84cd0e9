#include "cli/export_command.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "export/rom_set_export.h"
#include "platform/posix_file_system.h"
#include "support/scripted_dialogs.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::TempDirectory;
using testing::readFile;
using testing::snapshot;
using testing::writeFile;

struct Result {
  int status;
  std::string out, err;
};

Result run(std::vector<std::string> args, Terminal terminal = {}) {
  args.insert(args.begin(), "simplekavo-export");
  std::vector<char*> argv;
  for (std::string& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);
  std::ostringstream out, err;
  int status = runExportCommand(static_cast<int>(args.size()), argv.data(), out, err,
                                terminal);
  return {status, out.str(), err.str()};
}

class ExportCommandTest : public ::testing::Test {
 protected:
  ExportCommandTest() {
    testing::makeDirectories(src);
    testing::makeDirectories(dst);
    for (const char* name : {"Sonic.sms", "alex kidd.SMS", "Zelda.gg", "README", ".hidden.gg"})
      writeFile(src + "/" + name, std::string("rom:") + name);
  }
  TempDirectory dir;
  std::string src = dir / "roms";
  std::string dst = dir / "out";
};

TEST_F(ExportCommandTest, BadCommandLinesChangeNothingAndExitWithTwo) {
  struct Case {
    std::vector<std::string> args;
    const char* says;
  } cases[] = {
      {{}, "SOURCE and DEST are both needed"},
      {{"only-one"}, "SOURCE and DEST are both needed"},
      {{"a", "b", "c"}, "unexpected 'c'"},
      {{"--bogus", "a", "b"}, "unknown option '--bogus'"},
      {{"-x", "a", "b"}, "unknown option '-x'"},
      {{"a", "b", "--filter"}, "option '--filter' needs a value"},
      {{"--index=", "a", "b"}, "--index needs a path"},
  };
  const auto before = snapshot(dir.path());
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    for (std::string& arg : args)
      if (arg == "a") arg = src; else if (arg == "b") arg = dst;
    Result r = run(args);
    EXPECT_EQ(r.status, kBadUsage) << c.says;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("--help"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(snapshot(dir.path()), before);

  Result help = run({"--help"});
  EXPECT_EQ(help.status, kExported);
  EXPECT_NE(help.out.find("Exit status:"), std::string::npos);
  EXPECT_EQ(run({"--version"}).out, "simplekavo-export 1.00\n");
}

TEST_F(ExportCommandTest, RefusalsNameStepPathAndReasonAndChangeNothing) {
  writeFile(dst + "/FILES.TXT", "an earlier index");
  writeFile(dir / "plain", "not a directory");
  struct Case {
    std::string source, destination, says;
  } cases[] = {
      {dir / "missing", dst,
       "listing the source: " + (dir / "missing") + ": No such file or directory"},
      {src, dir / "plain",
       "checking the destination: " + (dir / "plain") + ": Not a directory"},
      {src, dst, "checking the destination: " + dst + "/ROMS0: File exists"},
  };
  testing::makeDirectories(dst + "/ROMS0");
  const auto before = snapshot(dir.path());
  for (const Case& c : cases) {
    for (bool dry : {false, true}) {
      std::vector<std::string> args = {c.source, c.destination};
      if (dry) args.insert(args.begin(), "--dry-run");
      Result r = run(args);
      EXPECT_EQ(r.status, kRefused) << c.says;
      EXPECT_EQ(r.err, "simplekavo-export: " + c.says + "\n");
    }
  }
  EXPECT_EQ(snapshot(dir.path()), before);
}

// The command line and the export the window runs write the same bytes.
TEST_F(ExportCommandTest, WritesWhatTheWindowsExportWrites) {
  const std::string byWindow = dir / "window";
  testing::makeDirectories(byWindow);
  PosixFileSystem files;
  testing::ScriptedDialogs dialogs;
  dialogs.answers = {byWindow + "/files.txt"};
  testing::RecordingProgramEnd end;
  Host host{files, dialogs, end};
  exportRomSet({byWindow, src, {"alex kidd.SMS", "Sonic.sms", "Zelda.gg"}}, host);

  Result r = run({"--filter", " *.SMS ;*.gg", "--index", dst + "/files.txt", src, dst});
  ASSERT_EQ(r.status, kExported) << r.err;
  std::smatch summary;
  ASSERT_TRUE(std::regex_match(
      r.out, summary,
      std::regex(R"(Exported 3 files in 1 group, 42 bytes, in \d+\.\d\d s; index (.*)\n)")))
      << r.out;
  EXPECT_EQ(summary[1], dst + "/FILES.TXT");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(snapshot(dst), snapshot(byWindow));

  // Without a filter every listed file goes, the hidden one still not.
  const std::string all = dir / "all";
  testing::makeDirectories(all);
  ASSERT_EQ(run({src, all}).status, kExported);
  EXPECT_EQ(readFile(all + "/FILES.TXT").substr(0, 40),
            "alex kidd.SMS,ROMS0\\0.SMS\nREADME,ROMS0\\1");
  EXPECT_EQ(readFile(all + "/ROMS0/1README"), "rom:README");
}

TEST_F(ExportCommandTest, DryRunPrintsThePlanAndTheIndexAndChangesNothing) {
  const auto before = snapshot(dir.path());
  Result dry = run({"-n", "-f", "*.gg;*.sms", src, dst});
  ASSERT_EQ(dry.status, kExported) << dry.err;
  EXPECT_EQ(snapshot(dir.path()), before);

  ASSERT_EQ(run({"-q", "-f", "*.gg;*.sms", src, dst}).status, kExported);
  std::string records = readFile(dst + "/FILES.TXT");
  records.erase(records.find_last_of('\n') + 1);
  EXPECT_EQ(dry.out,
            "mkdir " + dst + "/ROMS0\n"
            "copy " + src + "/alex kidd.SMS -> " + dst + "/ROMS0/0.SMS\n"
            "copy " + src + "/Sonic.sms -> " + dst + "/ROMS0/1.SMS\n"
            "copy " + src + "/Zelda.gg -> " + dst + "/ROMS0/2.GG\n"
            "write " + dst + "/FILES.TXT (80 bytes), records:\n" + records +
            "Dry run: 3 files in 1 group, 42 bytes; nothing was changed\n");
}

TEST_F(ExportCommandTest, AFailureAfterWritingBeganExitsWithOne) {
  ASSERT_EQ(::symlink("/dev/full", (dst + "/FILES.TXT").c_str()), 0);
  Result r = run({src, dst});
  EXPECT_EQ(r.status, kFailed);
  EXPECT_EQ(r.err, "simplekavo-export: writing the index: " + dst +
                       "/FILES.TXT: No space left on device\n");
  EXPECT_EQ(r.out, "");
}

TEST_F(ExportCommandTest, ProgressGoesToATerminalOnlyAndIsErasedAtTheEnd) {
  Result shown = run({src, dst}, {true, 30});
  ASSERT_EQ(shown.status, kExported);
  EXPECT_EQ(shown.err.substr(0, 30), "\rCopying 1 of 4  alex kidd.SMS");
  EXPECT_NE(shown.err.find("\rWriting to the drive  " + dst.substr(0, 7)), std::string::npos);
  EXPECT_EQ(shown.err.substr(shown.err.size() - 4), "\r\x1b[K");
  // No line is wider than the terminal (less one column, so it never wraps).
  std::size_t longest = 0, start = 0;
  for (std::size_t at; (at = shown.err.find('\r', start + 1)) != std::string::npos; start = at)
    longest = std::max(longest, at - start - 4);  // less "\r" and "\x1b[K"
  EXPECT_LE(longest, 29u);

  for (auto [args, terminal] :
       {std::pair{std::vector<std::string>{"--quiet", src, dir / "q"}, Terminal{true, 80}},
        std::pair{std::vector<std::string>{src, dir / "p"}, Terminal{false, 80}}}) {
    testing::makeDirectories(args.back());
    Result r = run(args, terminal);
    EXPECT_EQ(r.status, kExported);
    EXPECT_EQ(r.err, "");
  }
}

}  // namespace
}  // namespace kavo
