// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/export_command.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "catalog/sample_dat.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "platform/services/current_directory.h"
#include "platform/services/paths.h"
#include "platform/services/posix_file_system.h"
#include "support/archive_files.h"
#include "support/child_process.h"
#include "support/fake_udisks.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::ChildProcess;
using testing::readFile;
using testing::runChild;
using testing::snapshot;
using testing::TempDirectory;
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
  int status = runExportCommand(static_cast<int>(args.size()), argv.data(), out, err, terminal);
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
      {{"--checksum", "a", "b"}, "--checksum needs --replace"},
      {{"--eject", "--dry-run", "a", "b"}, "--eject follows an export"},
  };
  const auto before = snapshot(dir.path());
  for (const Case& c : cases) {
    std::vector<std::string> args = c.args;
    for (std::string& arg : args)
      if (arg == "a")
        arg = src;
      else if (arg == "b")
        arg = dst;
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
  EXPECT_EQ(
      run({"--version"}).out,
      "simplekavo-export 1.00\nCopyright (C) 2026 The SimpleKAVO developers\nLicense "
      "GPL-3.0-or-later: GNU GPL version 3 or later <https://gnu.org/licenses/gpl.html>.\nThis "
      "is free software: you are free to change and redistribute it.\nThere is NO WARRANTY, to "
      "the extent permitted by law.\n");
}

TEST_F(ExportCommandTest, RefusalsNameStepPathAndReasonAndChangeNothing) {
  writeFile(dst + "/FILES.TXT", "an earlier index");
  writeFile(dir / "plain", "not a directory");
  struct Case {
    std::string source, destination, says;
  } cases[] = {
      {dir / "missing", dst,
       "listing the source: " + (dir / "missing") + ": No such file or directory"},
      {src, dir / "plain", "checking the destination: " + (dir / "plain") + ": Not a directory"},
      {src, dst,
       "checking the destination: " + dst + "/ROMS0: File exists\nsimplekavo-export: " + dst +
           " holds an earlier export; use --replace to replace it"},
      {src, dst + " --index " + dst + "/missing/files.txt",
       "checking the index path: " + dst + "/missing/FILES.TXT: No such file or directory"},
      {src, dst + " --index C:\\",
       "checking the index path: " + paths::join(currentDirectory(), "C:\\") +
           ": Names a folder, not a file"},
      {src, src,
       "checking the destination: " + src +
           ": Is your ROM folder, or lies inside it: FILES.TXT, KAVOSUMS.TXT and ROMS0 would be "
           "put among your games, and listed as games the next time\nsimplekavo-export: use "
           "--write-into-source to export into the ROM folder all the same"},
  };
  testing::makeDirectories(dst + "/ROMS0");
  const auto before = snapshot(dir.path());
  for (const Case& c : cases) {
    for (bool dry : {false, true}) {
      std::vector<std::string> args = {c.source};
      std::istringstream rest(c.destination);
      for (std::string word; rest >> word;) args.push_back(word);
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
  exportRomSet({byWindow, src, {"alex kidd.SMS", "Sonic.sms", "Zelda.gg"}, byWindow + "/files.txt"},
               files);

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
  EXPECT_EQ(dry.out, "mkdir " + dst +
                         "/ROMS0\n"
                         "copy " +
                         src + "/alex kidd.SMS -> " + dst +
                         "/ROMS0/0.SMS\n"
                         "copy " +
                         src + "/Sonic.sms -> " + dst +
                         "/ROMS0/1.SMS\n"
                         "copy " +
                         src + "/Zelda.gg -> " + dst +
                         "/ROMS0/2.GG\n"
                         "write " +
                         dst + "/FILES.TXT, 80 bytes, records:\n" + records +
                         "Dry run: 3 files in 1 group, 42 bytes; nothing was changed\n");
}

// Refreshing a drive: a second export is refused and names --replace; with
// it, the earlier copies that are still right are moved, and the summary
// and the dry run's plan say which were reused and which copied.
TEST_F(ExportCommandTest, ReplaceRefreshesADriveAndSaysWhatItReused) {
  ASSERT_EQ(run({"-q", src, dst}).status, kExported);
  writeFile(src + "/Adventure.gg", "rom:Adventure.gg");  // sorts first: every index shifts
  std::filesystem::remove(src + "/Zelda.gg");

  Result refused = run({src, dst});
  EXPECT_EQ(refused.status, kRefused);
  EXPECT_NE(refused.err.find("use --replace"), std::string::npos) << refused.err;

  const auto before = snapshot(dir.path());
  Result dry = run({"-n", "-r", src, dst});
  ASSERT_EQ(dry.status, kExported) << dry.err;
  EXPECT_EQ(snapshot(dir.path()), before);
  EXPECT_EQ(dry.out.substr(0, dry.out.find("write ")), "copy " + src + "/Adventure.gg -> " + dst +
                                                           "/ROMS0/0.GG\n"
                                                           "reuse " +
                                                           dst + "/ROMS0/0.SMS -> " + dst +
                                                           "/ROMS0/1.SMS\n"
                                                           "reuse " +
                                                           dst + "/ROMS0/1README -> " + dst +
                                                           "/ROMS0/2README\n"
                                                           "reuse " +
                                                           dst + "/ROMS0/2.SMS -> " + dst +
                                                           "/ROMS0/3.SMS\n"
                                                           "remove " +
                                                           dst + "/ROMS0/3.GG\n");
  EXPECT_NE(dry.out.find("Dry run: would replace 4 games: 3 reused, 1 copied, 1 removed"),
            std::string::npos)
      << dry.out;

  // A replace that lists nothing (a mistyped filter, a source drive not
  // mounted) would empty the drive: refused, saying what the drive holds.
  Result nothing = run({"-r", "-f", "*.smd", src, dst});
  EXPECT_EQ(nothing.status, kRefused);
  EXPECT_EQ(nothing.err, "simplekavo-export: listing the source: " + src +
                             ": No file matches \"*.smd\"\nsimplekavo-export: a replace would "
                             "leave none of the 4 games in " +
                             dst + "; nothing was changed\n");
  EXPECT_EQ(snapshot(dir.path()), before);

  Result done = run({"--replace", src, dst});
  ASSERT_EQ(done.status, kExported) << done.err;
  EXPECT_EQ(done.out.rfind("Replaced 4 games: 3 reused, 1 copied, 1 removed, 16 bytes, in ", 0), 0u)
      << done.out;
  EXPECT_EQ(readFile(dst + "/FILES.TXT").substr(0, 24), "Adventure.gg,ROMS0\\0.gg\n");
  EXPECT_EQ(readFile(dst + "/ROMS0/1.SMS"), "rom:alex kidd.SMS");
  EXPECT_FALSE(std::filesystem::exists(dst + "/ROMS0/3.GG"));
}

// --check reads a layout back and compares it with its manifest and, given
// the source, with what an export of it would write; it lists every
// difference and changes nothing.
TEST_F(ExportCommandTest, CheckListsWhatDiffersFromTheManifestAndTheSource) {
  ASSERT_EQ(run({"-q", src, dst}).status, kExported);
  Result intact = run({"--check", src, dst});
  EXPECT_EQ(intact.status, kExported) << intact.err;
  EXPECT_EQ(intact.out, "Checked 4 copies: all match\n");

  writeFile(dst + "/ROMS0/2.SMS", "rom:Sonic.smX");  // the drive returns other bytes
  writeFile(src + "/Zelda.gg", "rom:Zelda 2.gg");    // and the source has changed
  const auto before = snapshot(dir.path());
  Result differs = run({"--check", src, dst});
  EXPECT_EQ(differs.status, kFailed);
  EXPECT_EQ(differs.out, "different ROMS0/2.SMS\ndifferent ROMS0/3.GG (" + src +
                             "/Zelda.gg)\nChecked 4 copies: 2 differences\n");
  EXPECT_EQ(run({"--check", dst}).out, "different ROMS0/2.SMS\nChecked 4 copies: 1 difference\n");
  EXPECT_EQ(snapshot(dir.path()), before);

  Result none = run({"--check", src});
  EXPECT_EQ(none.status, kRefused);
  EXPECT_EQ(none.err,
            "simplekavo-export: " + src + " holds no layout with a manifest of this program's\n");
}

// A zipped ROM is unpacked on the way, and the plan says so. The filter
// lists an archive by the ROM inside and tells the export which of its
// files that is; with no filter, the ROM is the file that is not a readme.
TEST_F(ExportCommandTest, DryRunSaysWhichCopiesAreUnpacked) {
  const std::string zipped = dir / "zipped";
  testing::makeDirectories(zipped);
  testing::writeArchive(zipped + "/Columns (Europe).zip", "zip",
                        {{"Columns.gg", "rom:Columns"}, {"readme.txt", "read me"}});
  Result dry = run({"-n", "-f", "*.gg", zipped, dst});
  ASSERT_EQ(dry.status, kExported) << dry.err;
  EXPECT_EQ(dry.out, "mkdir " + dst + "/ROMS0\nunpack " + zipped + "/Columns (Europe).zip -> " +
                         dst + "/ROMS0/0.GG\nwrite " + dst +
                         "/FILES.TXT, 32 bytes, records:\nColumns (Europe).gg,ROMS0\\0.gg\n"
                         "Dry run: 1 file in 1 group, 11 bytes; nothing was changed\n");

  testing::writeArchive(zipped + "/Twin (World).zip", "zip",
                        {{"Twin.gg", "rom:Twin.gg"}, {"Twin.sms", "rom:Twin.sms"}});
  writeFile(zipped + "/Sonic.sms", "rom:Sonic");
  writeFile(zipped + "/notes.txt", "notes");
  const struct {
    const char* filter;
    std::string copies;  // the plan's copies, or with a refusal its message
  } cases[] = {
      {"*.gg", "unpack Columns (Europe).zip -> 0.GG, unpack Twin (World).zip -> 1.GG"},
      {"*.sms", "copy Sonic.sms -> 0.SMS, unpack Twin (World).zip -> 1.SMS"},
      {"*.zip", ""},  // by the ROM inside, not by the archive's name
      {"*.*",
       "simplekavo-export: checking the sources: " + zipped +
           "/Twin (World).zip: Holds 2 ROMs, Twin.gg and Twin.sms; an archive must hold one"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.filter);
    Result r = run({"-n", "-f", c.filter, zipped, dst});
    std::string copies;
    std::istringstream lines(r.out);
    for (std::string line; std::getline(lines, line);) {
      if (!line.starts_with("copy ") && !line.starts_with("unpack ")) continue;
      for (const std::string& place : {zipped + "/", dst + "/ROMS0/"})
        line.erase(line.find(place), place.size());
      copies += (copies.empty() ? "" : ", ") + line;
    }
    if (r.status == kRefused) copies = r.err.substr(0, r.err.find('\n'));
    EXPECT_EQ(copies, c.copies) << r.err;
  }
}

// A plan over several groups lists each group's directory before its
// copies and the copies in list order, as the export hands them in.
TEST_F(ExportCommandTest, DryRunPlanKeepsTheListOrderAcrossGroups) {
  const std::string many = dir / "many";
  testing::makeDirectories(many);
  std::vector<std::string> names;
  for (int i = 0; i < 65; ++i) names.push_back("Game " + std::to_string(100 + i) + ".gg");
  for (const std::string& name : names) writeFile(many + "/" + name, "rom");
  Result dry = run({"-n", many, dst});
  ASSERT_EQ(dry.status, kExported) << dry.err;
  std::string expected;
  for (std::size_t j = 0; j < names.size(); ++j) {
    if (j % 30 == 0) expected += "mkdir " + dst + "/ROMS" + std::to_string(j / 30) + "\n";
    expected += "copy " + many + "/" + names[j] + " -> " + dst + "/ROMS" + std::to_string(j / 30) +
                "/" + std::to_string(j) + ".GG\n";
  }
  EXPECT_EQ(dry.out.substr(0, dry.out.find("write ")), expected);
}

// --eject: once the export is complete, DEST's drive is unmounted and
// powered off through udisks2 (a stand-in on a private bus, serving a
// volume mounted over the destination); a drive that stays mounted is said
// with what to do and exits with a status of its own, the layout complete.
TEST_F(ExportCommandTest, EjectUnmountsTheDrivesVolumeAfterTheExport) {
  using testing::FakeUDisksSetup;
  char* resolved = ::realpath(dst.c_str(), nullptr);
  ASSERT_NE(resolved, nullptr);
  const std::string mountPoint = resolved;
  std::free(resolved);
  struct stat volume {};
  ASSERT_EQ(::stat(dst.c_str(), &volume), 0);
  const testing::FakeBlock block = {"sdb1", volume.st_dev, "stick", "", true, {mountPoint}};
  const testing::FakeDrive stick = {"stick", true, true, true, true, "SanDisk", "Cruzer Blade"};
  const auto failing = [&](const char* call, const char* error) {
    return FakeUDisksSetup{{block}, {stick}, {{call, error}}};
  };
  const struct {
    const char* name;
    FakeUDisksSetup setup;
    int status;
    const char* calls;
    std::string says;  // on standard error, or with `ejected` on standard output
    bool ejected = false;
  } cases[] = {
      {"a USB stick",
       {{block}, {stick}, {}},
       kExported,
       "Unmount sdb1, PowerOff stick",
       "SanDisk Cruzer Blade was ejected. You can now unplug it.\n",
       true},
      {"a busy volume", failing("Unmount sdb1", "org.freedesktop.UDisks2.Error.DeviceBusy"),
       kNotEjected, "Unmount sdb1",
       "simplekavo-export: SanDisk Cruzer Blade is in use and stays mounted (Unmount sdb1 failed "
       "here). Close the programs that use the drive (a file manager window or a terminal open in "
       "one of its folders), then eject it again.\n"},
      {"an unmount not allowed",
       failing("Unmount sdb1", "org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain"), kNotEjected,
       "Unmount sdb1", "stays mounted: this computer did not allow you to eject it"},
      {"a power-off not allowed, after the unmount",
       failing("PowerOff stick", "org.freedesktop.UDisks2.Error.NotAuthorized"), kExported,
       "Unmount sdb1, PowerOff stick", "was unmounted and can be unplugged safely"},
      {"no udisks2", {}, kNotEjected, "", "Drives cannot be ejected from here"},
  };
  testing::PrivateBus bus;
  ASSERT_EQ(::setenv("DBUS_SYSTEM_BUS_ADDRESS", bus.address().c_str(), 1), 0);
  int n = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::optional<testing::FakeUDisks> udisks;
    if (!c.setup.blocks.empty()) udisks.emplace(bus.address(), c.setup);
    const std::string into = dst + "/" + std::to_string(++n);
    testing::makeDirectories(into);
    Result r = run({"--eject", "-f", "*.gg;*.sms", src, into});
    EXPECT_EQ(r.status, c.status) << r.err;
    std::string calls;
    for (const std::string& call : udisks ? udisks->calls() : std::vector<std::string>{})
      calls += (calls.empty() ? "" : ", ") + call;
    EXPECT_EQ(calls, c.calls);
    // The export is complete, and its summary comes first.
    EXPECT_TRUE(r.out.starts_with("Exported 3 files in 1 group")) << r.out;
    EXPECT_EQ(readFile(into + "/FILES.TXT").substr(0, 26), "alex kidd.SMS,ROMS0\\0.SMS\n");
    const std::string& said = c.ejected ? r.out : r.err;
    EXPECT_NE(said.find(c.says), std::string::npos) << said;
    EXPECT_EQ(c.ejected ? r.err : r.out.substr(r.out.find('\n') + 1), "");
  }
  ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
}

// One version of each game, chosen by a DAT and named as it names them,
// with its report: the dry run shows which version each game kept and why
// and what the folder holds of the DAT, and writes the report; the export
// writes what the dry run showed, and --check finds it all matching.
TEST_F(ExportCommandTest, OneVersionOfEachGameFromADatUnderItsNames) {
  using namespace catalog::testing;
  const std::string set = dir / "set", dat = dir / "sms.dat", report = dir / "report.csv";
  testing::makeDirectories(set);
  writeFile(set + "/sonic (USA, Europe).sms", kSonicUsaEurope);
  writeFile(set + "/sonic (Japan).sms", kSonicJapan);
  writeFile(set + "/bad.sms", kBadGame);
  writeFile(set + "/Homebrew (World).sms", kUnknownRom);
  writeFile(dat, kSampleCmpro);
  // Every region named, so that the order does not depend on the locale.
  const std::vector<std::string> asked = {
      "--one-per-game", "--prefer", "jpn,eur,world,usa", "--dat", dat, "--names", "dat"};
  auto withAsked = [&](std::vector<std::string> args) {
    args.insert(args.begin(), asked.begin(), asked.end());
    return args;
  };
  const auto before = snapshot(dst);
  Result dry = run(withAsked({"--report", report, "-n", set, dst}));
  ASSERT_EQ(dry.status, kExported) << dry.err;
  EXPECT_EQ(snapshot(dst), before);
  const std::string records =
      "Homebrew (World).sms,ROMS0\\0.sms\nSonic the Hedgehog (Japan).sms,ROMS0\\1.sms\n";
  EXPECT_EQ(dry.out,
            "One version of each game, regions in the order Japan, Europe, World, USA:\n"
            "Bad Game (Europe)\n"
            "  drop bad.sms: Europe; a bad dump is never kept\n"
            "Homebrew (World).sms\n"
            "  keep Homebrew (World).sms: not in the DAT\n"
            "Sonic the Hedgehog (USA, Europe)\n"
            "  keep sonic (Japan).sms: Japan\n"
            "  drop sonic (USA, Europe).sms: USA, Europe; Japan preferred\n"
            "Kept 2 of 4 files, one version of each game; 1 game has only bad dumps\n"
            "2 of 7 games, 1 unknown, 1 bad dump\n"
            "mkdir " +
                dst +
                "/ROMS0\n"
                "copy " +
                set + "/Homebrew (World).sms -> " + dst +
                "/ROMS0/0.SMS\n"
                "copy " +
                set + "/sonic (Japan).sms -> " + dst +
                "/ROMS0/1.SMS\n"
                "write " +
                dst + "/FILES.TXT, 80 bytes, records:\n" + records +
                "Dry run: 2 files in 1 group, 1,408 bytes (1.4 KiB); nothing was changed\n");
  const std::string csv = readFile(report);
  EXPECT_EQ(csv.rfind("Status,Game,Clone of,Files,Note\r\n", 0), 0u) << csv;
  EXPECT_NE(csv.find("\r\nidentified,Sonic the Hedgehog (Japan),\"Sonic the Hedgehog (USA, "
                     "Europe)\",sonic (Japan).sms,\r\n"),
            std::string::npos)
      << csv;

  Result done = run(withAsked({set, dst}));
  ASSERT_EQ(done.status, kExported) << done.err;
  EXPECT_EQ(done.out.rfind("Kept 2 of 4 files, one version of each game; 1 game has only bad "
                           "dumps\n2 of 7 games, 1 unknown, 1 bad dump\nExported 2 files in 1 "
                           "group, 1,408 bytes (1.4 KiB), in ",
                           0),
            0u)
      << done.out;
  EXPECT_EQ(readFile(dst + "/FILES.TXT"), records + std::string(16 - records.size() % 16, ' '));
  EXPECT_EQ(readFile(dst + "/ROMS0/1.SMS"), kSonicJapan);
  EXPECT_EQ(run({"--check", set, dst}).out, "Checked 2 copies: all match\n");
  EXPECT_EQ(run(withAsked({"-q", "-r", set, dst})).out, "");

  // What the DAT and the report path cannot be, refused before anything is
  // written.
  writeFile(dir / "broken.dat", "<datafile>\n<game name=\"x\">\n");
  const struct {
    std::vector<std::string> args;
    std::string says;
  } refused[] = {
      {{"--dat", dir / "missing.dat", set, dst},
       "reading the DAT: " + (dir / "missing.dat") + ": No such file or directory"},
      {{"--dat", dir / "broken.dat", set, dst}, "reading the DAT: " + (dir / "broken.dat") + ": "},
      {{"--dat", dat, "--report", set + "/report.csv", set, dst},
       "checking the report path: " + set +
           "/report.csv: Lies in the ROM folder, where it could take a game's place and would be "
           "listed as a game the next time"},
  };
  const auto unchanged = snapshot(dir.path());
  for (const auto& c : refused) {
    Result r = run(c.args);
    EXPECT_EQ(r.status, kRefused) << r.err;
    EXPECT_EQ(r.err.rfind("simplekavo-export: " + c.says, 0), 0u) << r.err;
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(snapshot(dir.path()), unchanged);
}

// Tests that run the program itself: what only a process shows (signals,
// exit statuses, privileges, limits, two exports at once).
class ExportProgramTest : public ExportCommandTest {
 protected:
  static std::vector<std::string> program(std::vector<std::string> args) {
    args.insert(args.begin(), KAVO_EXPORT_PROGRAM);
    return args;
  }
  void addGames(int count, std::size_t size = 64) {
    for (int i = 0; i < count; ++i)
      writeFile(src + "/Game " + std::to_string(i) + ".gg", std::string(size, 'g'));
  }
};

// A file larger than the process may write (ulimit -f) is an ordinary
// failure, not a silent end by SIGXFSZ, and what was made is taken back.
TEST_F(ExportProgramTest, AFailurePartWayExitsWithOneAndLeavesTheDestinationAsItWas) {
  writeFile(src + "/Zelda.gg", std::string(200 * 1024, 'z'));
  writeFile(dst + "/FILES.TXT", "an earlier index");
  const auto before = snapshot(dir.path());
  testing::ChildOptions limited;
  limited.fileSizeLimit = 100 * 1024;
  auto r = runChild(program({src, dst}), limited);
  EXPECT_EQ(r.status, kFailed) << r.err;
  EXPECT_EQ(r.err, "simplekavo-export: copying: " + dst +
                       "/ROMS0/3.GG: File too large\n"
                       "simplekavo-export: The destination was left as it was.\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(snapshot(dir.path()), before);
}

TEST_F(ExportProgramTest, AReadOnlyDestinationIsRefusedBeforeWriting) {
  // A copy of the program that the unprivileged user can run, wherever the
  // build lies.
  const std::string copy = dir / "simplekavo-export";
  std::filesystem::copy_file(KAVO_EXPORT_PROGRAM, copy);
  const auto command = testing::asUnprivileged({copy, src, dst});
  if (command.empty()) GTEST_SKIP() << "running as root without setpriv: cannot drop privileges";
  // The unprivileged user may read the sources but not write the destination.
  for (const std::string& path : {dir.path(), src, copy}) ASSERT_EQ(::chmod(path.c_str(), 0755), 0);
  ASSERT_EQ(::chmod(dst.c_str(), ::geteuid() == 0 ? 0755 : 0555), 0);
  const auto before = snapshot(dir.path());
  auto r = runChild(command);
  ::chmod(dst.c_str(), 0755);
  EXPECT_EQ(r.status, kRefused) << r.err;
  EXPECT_EQ(r.err, "simplekavo-export: checking the destination: " + dst + ": Permission denied\n");
  EXPECT_EQ(snapshot(dir.path()), before);
}

// Two exports into one destination: one completes, the other is refused
// before it writes (the first holds the destination, or has already made
// ROMS0), and the layout is exactly what one export makes.
TEST_F(ExportProgramTest, OfTwoExportsAtOnceOneCompletesAndTheOtherIsRefused) {
  addGames(300);
  const std::string alone = dir / "alone";
  testing::makeDirectories(alone);
  ASSERT_EQ(runChild(program({src, alone})).status, kExported);

  ChildProcess first(program({src, dst})), second(program({src, dst}));
  auto a = first.wait(), b = second.wait();
  EXPECT_EQ(std::min(a.status, b.status), kExported) << a.err << b.err;
  EXPECT_EQ(std::max(a.status, b.status), kRefused) << a.err << b.err;
  const std::string refusal = a.status == kRefused ? a.err : b.err;
  EXPECT_TRUE(refusal == "simplekavo-export: checking the destination: " + dst +
                             ": Another export is writing to this folder\n" ||
              refusal ==
                  "simplekavo-export: checking the destination: " + dst + "/ROMS0: File exists\n")
      << refusal;
  EXPECT_EQ(snapshot(dst), snapshot(alone));
}

// --check waits for an export writing to the same folder, rather than
// reading a layout half made, and answers a signal as the export does.
TEST_F(ExportProgramTest, ACheckWaitsForARunningExportAndAnswersSignals) {
  addGames(40);
  ASSERT_EQ(runChild(program({src, dst})).status, kExported);
  PosixFileSystem files;
  for (const bool interrupted : {false, true}) {
    SCOPED_TRACE(interrupted ? "interrupted" : "waited for");
    auto claim = files.lockDirectory(dst);  // as an export writing there holds it
    ChildProcess check(program({"--check", src, dst}));
    for (int tick = 0; tick < 100; ++tick) {  // a second, the claim held all along
      EXPECT_FALSE(check.ended());
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if (interrupted) check.signal(SIGINT);
    claim.reset();
    const auto r = check.wait();
    EXPECT_EQ(r.status, interrupted ? 128 + SIGINT : kExported) << r.err;
    EXPECT_NE(
        r.err.find("simplekavo-export: waiting for the export writing to " + dst + " to finish\n"),
        std::string::npos)
        << r.err;
    if (!interrupted) {
      EXPECT_TRUE(r.out.ends_with(" copies: all match\n")) << r.out;
    }
  }
}

// Ctrl-C or SIGTERM during a long export: it takes back what it made and
// exits with 128 plus the signal.
TEST_F(ExportProgramTest, AnInterruptedExportLeavesTheDestinationAsItWas) {
  writeFile(dst + "/FILES.TXT", "an earlier index");
  int count = 0;
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    SCOPED_TRACE(sigabbrev_np(signal));
    // Long enough to be caught part-way; longer again if it was not.
    bool caught = false;
    for (int attempt = 0; attempt < 4 && !caught; ++attempt) {
      const int more = 2000 << attempt;
      addGames(count + more);
      count += more;
      const auto before = snapshot(dst);
      ChildProcess child(program({"--quiet", src, dst}));
      testing::waitForEntry(dst, "ROMS0", std::chrono::seconds(30));
      if (!child.ended()) child.signal(signal);
      auto r = child.wait();
      if (r.status == kExported) {  // it was quicker: start again, bigger
        std::filesystem::remove_all(dst);
        testing::makeDirectories(dst);
        writeFile(dst + "/FILES.TXT", "an earlier index");
        continue;
      }
      caught = true;
      EXPECT_EQ(r.status, 128 + signal) << r.err;
      EXPECT_NE(r.err.find(std::string("Interrupted by SIG") + sigabbrev_np(signal)),
                std::string::npos)
          << r.err;
      EXPECT_NE(r.err.find("simplekavo-export: The destination was left as it was.\n"),
                std::string::npos)
          << r.err;
      EXPECT_EQ(snapshot(dst), before);
    }
    EXPECT_TRUE(caught) << "the export always ended before the signal";
  }
}

// A plan or help that cannot be written is a failure; a summary that cannot
// be, once the layout is complete, has a status of its own.
TEST_F(ExportProgramTest, OutputThatCannotBeWrittenIsAFailure) {
  const auto before = snapshot(dir.path());
  for (const std::vector<std::string>& args :
       {std::vector<std::string>{"--dry-run", src, dst}, std::vector<std::string>{"--help"}}) {
    testing::ChildOptions full;
    full.standardOutput = "/dev/full";
    auto r = runChild(program(args), full);
    EXPECT_EQ(r.status, kFailed) << args[0];
    EXPECT_EQ(r.err, "simplekavo-export: writing to standard output: No space left on device\n");
  }
  EXPECT_EQ(snapshot(dir.path()), before);

  const std::string alone = dir / "alone";
  testing::makeDirectories(alone);
  ASSERT_EQ(runChild(program({src, alone})).status, kExported);
  for (bool closedPipe : {true, false}) {
    SCOPED_TRACE(closedPipe ? "a closed pipe" : "a full disk");
    const std::string into = dir / (closedPipe ? "piped" : "full");
    testing::makeDirectories(into);
    testing::ChildOptions lost;
    lost.outputToClosedPipe = closedPipe;
    if (!closedPipe) lost.standardOutput = "/dev/full";
    auto r = runChild(program({src, into}), lost);
    EXPECT_EQ(r.status, kReportLost);
    EXPECT_EQ(r.err, std::string("simplekavo-export: writing to standard output: ") +
                         (closedPipe ? "Broken pipe" : "No space left on device") +
                         "\nsimplekavo-export: the export is complete and flushed to the "
                         "drive; only its summary was lost\n");
    EXPECT_EQ(snapshot(into), snapshot(alone));
  }
}

// A name can hold what retitles or clears a terminal: it reaches one escaped,
// while the copy and the index keep its bytes.
TEST_F(ExportCommandTest, NamesReachATerminalEscaped) {
  // "0" puts it first in the list, so its progress line is the one shown.
  const std::string evil = "0 Evil\x1b]0;owned\x07\x1b[2J\x9b.gg";
  writeFile(src + "/" + evil, "rom");
  const std::string shown = "0 Evil\\x1b]0;owned\\x07\\x1b[2J\\x9b.gg";
  auto raw = [](std::string text) {
    for (std::size_t at; (at = text.find("\x1b[K")) != std::string::npos;) text.erase(at, 3);
    return text.find_first_of("\x1b\x07\x9b") != std::string::npos;
  };

  Result plan = run({"--dry-run", src, dst}, {true, 300, true});
  EXPECT_EQ(plan.status, kExported);
  EXPECT_NE(plan.out.find("copy " + src + "/" + shown + " -> " + dst + "/ROMS0/0.GG"),
            std::string::npos)
      << plan.out;
  EXPECT_FALSE(raw(plan.out)) << plan.out;

  Result done = run({src, dst}, {true, 300, true});
  ASSERT_EQ(done.status, kExported);
  EXPECT_NE(done.err.find("Copying 1 of 5  " + shown), std::string::npos) << done.err;
  EXPECT_FALSE(raw(done.err));
  EXPECT_NE(readFile(dst + "/FILES.TXT").find(evil + ",ROMS0\\0.gg\n"), std::string::npos);

  writeFile(src + "/Bad\n\x1b[2J.sms", "rom");
  const std::string again = dir / "again";
  testing::makeDirectories(again);
  Result refused = run({src, again}, {true, 300, true});
  EXPECT_EQ(refused.status, kRefused);
  EXPECT_EQ(refused.err, "simplekavo-export: checking the names: " + src +
                             "/Bad\\x0a\\x1b[2J.sms: File name contains a line break\n");
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
    EXPECT_EQ(r.out.empty(), args.front() == "--quiet") << r.out;  // quiet prints nothing
  }
}

// The index is Windows-1252: "é" has a byte there, "ō" has none and is
// written "?". A terminal is shown the records one a line in its own
// UTF-8; a pipe gets the index's bytes. A name that loses characters is
// warned of once, also when quiet, and marked in the plan.
TEST_F(ExportCommandTest, AZippedRomsLostCharactersAreWarnedOfUnderTheNameItsRecordTakes) {
  testing::writeArchive(src + "/T\u014dky\u014d.zip", "zip", {{"inside.gg", "rom"}});
  const Result r = run({"-n", src, dst});
  ASSERT_EQ(r.status, kExported) << r.err;
  EXPECT_NE(r.err.find("warning: T\u014dky\u014d.gg: the console cannot show every character; "
                       "the index names it \"T?ky?.gg\"\n"),
            std::string::npos)
      << r.err;
}

TEST_F(ExportCommandTest, RecordsReachATerminalReadableAndLostCharactersAreWarnedOf) {
  writeFile(src + "/Caf\u00e9.gg", std::string(1536, 'c'));
  writeFile(src + "/Mad\u014d Monogatari.sms", "rom");
  const std::string warning =
      "simplekavo-export: warning: Mad\u014d Monogatari.sms: the console cannot show every "
      "character; the index names it "
      "\"Mad? Monogatari.sms\"\n";
  const std::string filter = "*.gg;*.sms";
  Result shown = run({"-n", "-f", filter, src, dst}, {true, 80, true});
  ASSERT_EQ(shown.status, kExported) << shown.err;
  Result piped = run({"-n", "-f", filter, src, dst});
  for (const std::string& line :
       {"copy " + src + "/Mad\u014d Monogatari.sms -> " + dst +
            "/ROMS0/2.SMS  (the index names it \"Mad? Monogatari.sms\")\n",
        std::string("Caf\u00e9.gg,ROMS0\\1.gg\nMad? Monogatari.sms,ROMS0\\2.sms\n"),
        std::string("Dry run: 5 files in 1 group, 1,581 bytes (1.5 KiB); nothing was changed\n")})
    EXPECT_NE(shown.out.find(line), std::string::npos) << line << shown.out;
  EXPECT_NE(piped.out.find("Caf\xe9.gg,ROMS0\\1.gg\nMad? Monogatari.sms,ROMS0\\2.sms\n"),
            std::string::npos)
      << piped.out;
  EXPECT_EQ(shown.err, warning);

  Result quiet = run({"-q", "-f", filter, src, dst});
  ASSERT_EQ(quiet.status, kExported) << quiet.err;
  EXPECT_EQ(quiet.out, "");
  EXPECT_EQ(quiet.err, warning);
  Result check = run({"-k", dst});
  EXPECT_EQ(check.out, "Checked 5 copies: all match\n");
  EXPECT_EQ(run({"-k", "-q", dst}).out, "");

  testing::makeDirectories(dir / "again");
  Result summary = run({"-f", filter, src, dir / "again"});
  EXPECT_EQ(summary.out.rfind("Exported 5 files in 1 group, 1,581 bytes (1.5 KiB), in ", 0), 0u)
      << summary.out;
}

}  // namespace
}  // namespace kavo
