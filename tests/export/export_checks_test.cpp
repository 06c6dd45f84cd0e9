// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Everything that can be known before an export writes is refused then, and
// leaves every file as it was: the sources, the destination, earlier indexes.
#include "export/export_checks.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <filesystem>
#include <functional>
#include <latch>
#include <thread>

#include "export/manifest.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "platform/services/posix_file_system.h"
#include "platform/services/run_time_error.h"
#include "support/error_of.h"
#include "support/export_fixture.h"
#include "support/fault_injecting_file_system.h"
#include "support/mounted_volume.h"
#include "support/temp_directory.h"
#include "support/watching_file_system.h"

namespace kavo {
namespace {

using testing::errorOf;
using testing::ExportFixture;
using testing::games;
using testing::Names;
using testing::readFile;
using testing::romBytes;
using testing::snapshot;
using testing::TempDirectory;
using testing::Tree;
using testing::WatchingFileSystem;
using testing::writeFile;

// Every occurrence of "ROOT" replaced by the root's path.
std::string expand(std::string text, const std::string& root) {
  for (std::size_t at; (at = text.find("ROOT")) != std::string::npos;) text.replace(at, 4, root);
  return text;
}

// Each case is refused before anything is written: nothing under the root
// (sources, destination, earlier indexes) changes. "ROOT" in a text stands
// for the folder holding "roms" and "usb".
TEST(ExportChecks, RefusedBeforeWritingLeavesEverythingAsItWas) {
  struct Case {
    std::string what;
    std::function<void(const std::string& root)> arrange;
    std::vector<std::string> names;
    std::string answer;
    ErrorNumber number;
    std::string path;
    std::string reason;
    std::string destination = "ROOT/usb";
  };
  const std::vector<std::string> three = {"Alpha.sms", "Beta Game.gg", "Gamma.sms"};
  const std::vector<std::string> thirtyOne(31, "Alpha.sms");
  // Extensionless "23" at list index 1 and "3" at 12 both make ROMS0/123.
  std::vector<std::string> clashing(13, "Alpha.sms");
  clashing[1] = "23";
  clashing[12] = "3";
  const std::string longName(255, 'x');
  const auto nothing = [](const std::string&) {};
  const auto link = [](const char* target, const char* at) {
    return [=](const std::string& root) {
      std::filesystem::remove(expand(at, root));
      ASSERT_EQ(::symlink(expand(target, root).c_str(), expand(at, root).c_str()), 0);
    };
  };
  const Case cases[] = {
      {"the answer's directory is missing", nothing, three, "ROOT/usb/missing/FILES.TXT",
       ErrorNumber::PathNotFound, "ROOT/usb/missing/FILES.TXT", "No such file or directory"},
      {"the answer names a directory once upper-cased",
       [](const std::string& root) { testing::makeDirectories(root + "/usb/OLD"); }, three,
       "ROOT/usb/old", ErrorNumber::PathFileAccessError, "ROOT/usb/OLD", "Is a directory"},
      {"the answer names a directory as typed",
       [](const std::string& root) { testing::makeDirectories(root + "/usb/out"); }, three,
       "ROOT/usb/out", ErrorNumber::PathFileAccessError, "ROOT/usb/out", "Is a directory"},
      {"the answer is the prompt's own example", nothing, three, "C:\\", ErrorNumber::BadFileName,
       "C:\\", "Not a full path to a file, such as /media/usb/FILES.TXT"},
      {"the answer is a relative path", nothing, three, "usb/FILES.TXT", ErrorNumber::BadFileName,
       "usb/FILES.TXT", "Not a full path to a file, such as /media/usb/FILES.TXT"},
      {"the answer ends with a separator", nothing, three, "ROOT/usb/", ErrorNumber::BadFileName,
       "ROOT/usb/", "Names a folder, not a file"},
      {"FILES.TXT is a symbolic link to a source", link("../roms/Alpha.sms", "ROOT/usb/FILES.TXT"),
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/FILES.TXT",
       "Is a symbolic link"},
      {"FILES.TXT is a symbolic link to a FIFO",
       [&](const std::string& root) {
         ASSERT_EQ(::mkfifo((root + "/pipe").c_str(), 0600), 0);
         link("ROOT/pipe", "ROOT/usb/FILES.TXT")(root);
       },
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/FILES.TXT",
       "Is a symbolic link"},
      {"FILES.TXT is a symbolic link to /dev/null", link("/dev/null", "ROOT/usb/FILES.TXT"), three,
       "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/FILES.TXT",
       "Is a symbolic link"},
      {"FILES.TXT is a hard link to a source",
       [](const std::string& root) {
         std::filesystem::remove(root + "/usb/FILES.TXT");
         ASSERT_EQ(::link((root + "/roms/Alpha.sms").c_str(), (root + "/usb/FILES.TXT").c_str()),
                   0);
       },
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/FILES.TXT",
       "Has other hard links, which would lose their contents"},
      {"FILES.TXT is a FIFO",
       [](const std::string& root) {
         std::filesystem::remove(root + "/usb/FILES.TXT");
         ASSERT_EQ(::mkfifo((root + "/usb/FILES.TXT").c_str(), 0600), 0);
       },
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/FILES.TXT",
       "Not a regular file"},
      {"the index path is a listed source",
       [](const std::string& root) { writeFile(root + "/roms/SONIC.SMS", "rom"); },
       {"Alpha.sms", "SONIC.SMS"},
       "ROOT/roms/sonic.sms",
       ErrorNumber::PathFileAccessError,
       "ROOT/roms/SONIC.SMS",
       "Is one of the files to export"},
      {"the index is listed through a link",
       link("../usb/FILES.TXT", "ROOT/roms/link.sms"),
       {"Alpha.sms", "link.sms"},
       "ROOT/usb/FILES.TXT",
       ErrorNumber::PathFileAccessError,
       "ROOT/usb/FILES.TXT",
       "Is one of the files to export (ROOT/roms/link.sms)"},
      {"the source folder is the destination and its index is listed",
       [](const std::string& root) { writeFile(root + "/roms/FILES.TXT", "an index"); },
       {"Alpha.sms", "FILES.TXT"},
       "ROOT/roms/FILES.TXT",
       ErrorNumber::PathFileAccessError,
       "ROOT/roms/FILES.TXT",
       "Is one of the files to export",
       "ROOT/roms"},
      {"the index takes the name of a group directory", nothing, thirtyOne, "ROOT/usb/roms1",
       ErrorNumber::PathFileAccessError, "ROOT/usb/ROMS1",
       "Is the name of a folder this export makes"},
      {"ROMS0 exists",
       [](const std::string& root) { testing::makeDirectories(root + "/usb/ROMS0"); }, three,
       "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/ROMS0", "File exists"},
      {"the last group's directory exists",
       [](const std::string& root) { testing::makeDirectories(root + "/usb/ROMS1"); }, thirtyOne,
       "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/ROMS1", "File exists"},
      {"an interrupted export left its new index",
       [](const std::string& root) { writeFile(root + "/usb/FILES.TXT.simplekavo-new", "F"); },
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError,
       "ROOT/usb/FILES.TXT.simplekavo-new", "Left by an interrupted export"},
      {"the destination is gone",
       [](const std::string& root) { std::filesystem::remove_all(root + "/usb"); }, three,
       "ROOT/FILES.TXT", ErrorNumber::PathNotFound, "ROOT/usb", "No such file or directory"},
      {"a name holds a line break",
       [](const std::string& root) { writeFile(root + "/roms/Bad\nName.sms", ""); },
       {"Alpha.sms", "Bad\nName.sms"},
       "ROOT/usb/FILES.TXT",
       ErrorNumber::BadFileName,
       "ROOT/roms/Bad\nName.sms",
       "File name contains a line break"},
      {"a listed source is missing",
       nothing,
       {"Alpha.sms", "Missing.sms", "Gamma.sms"},
       "ROOT/usb/FILES.TXT",
       ErrorNumber::FileNotFound,
       "ROOT/roms/Missing.sms",
       "No such file or directory"},
      {"a listed source is a FIFO",
       [](const std::string& root) {
         ASSERT_EQ(::mkfifo((root + "/roms/Pipe.sms").c_str(), 0600), 0);
       },
       {"Alpha.sms", "Pipe.sms"},
       "ROOT/usb/FILES.TXT",
       ErrorNumber::PathFileAccessError,
       "ROOT/roms/Pipe.sms",
       "Not a regular file"},
      {"two names make one copy name",
       [](const std::string& root) {
         writeFile(root + "/roms/23", "rom");
         writeFile(root + "/roms/3", "rom");
       },
       clashing, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/roms/3",
       "Takes the copy name ROMS0/123, as ROOT/roms/23 does"},
      {"a folder of the user's stands where an interrupted export leaves a file",
       [](const std::string& root) {
         testing::makeDirectories(root + "/usb/FILES.TXT.simplekavo-old");
         writeFile(root + "/usb/FILES.TXT.simplekavo-old/notes.txt", "the user's");
       },
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError,
       "ROOT/usb/FILES.TXT.simplekavo-old", "Is not what an interrupted export left"},
      {"a name without a dot makes a copy name too long for the volume",
       [&](const std::string& root) { writeFile(root + "/roms/" + longName, "rom"); },
       {"Alpha.sms", longName},
       "ROOT/usb/FILES.TXT",
       ErrorNumber::BadFileName,
       "ROOT/usb/ROMS0/1" + std::string(255, 'X'),
       "File name too long"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDirectory root;
    testing::makeDirectories(root / "roms");
    testing::makeDirectories(root / "usb");
    for (const std::string& name : three) writeFile(root / ("roms/" + name), romBytes(name));
    writeFile(root / "usb/FILES.TXT", "the index of an earlier export");
    writeFile(root / "FILES.TXT", "another earlier index");
    c.arrange(root.path());
    const Tree before = snapshot(root.path());

    PosixFileSystem files;
    const auto error = errorOf<ExportFailure>([&] {
      exportRomSet(ExportRequest{expand(c.destination, root.path()), root / "roms", c.names,
                                 expand(c.answer, root.path())},
                   files);
    });
    if (!error) continue;
    EXPECT_EQ(error->number(), c.number);
    EXPECT_EQ(error->path(), expand(c.path, root.path()));
    EXPECT_EQ(error->reason(), expand(c.reason, root.path()));
    EXPECT_TRUE(error->refused()) << error->step();
    EXPECT_EQ(snapshot(root.path()), before) << "nothing is created or changed";
  }
}

// On the file system of players' drives: a copy name with a character FAT
// does not take, or a file too large for FAT32, is refused before writing;
// and since the FUSE stand-in does not tell its free space, the export says
// it could not be checked.
TEST(ExportChecksOnFat32, WhatFatCannotHoldIsRefusedBeforeWriting) {
  TempDirectory root;
  testing::makeDirectories(root / "roms");
  testing::makeDirectories(root / "usb");
  auto volume = testing::MountedVolume::fat32(root / "usb", root / "fat.img", 64);
  if (!volume.mounted()) GTEST_SKIP() << volume.why();
  writeFile(root / "roms/Alpha.sms", "rom");
  writeFile(root / "roms/b.s:m", "rom");
  writeFile(root / "roms/Huge.sms", "");
  std::filesystem::resize_file(root / "roms/Huge.sms", std::uint64_t{4} << 30);  // sparse
  const struct {
    std::vector<std::string> names;
    std::string path, reason;
  } cases[] = {
      {{"Alpha.sms", "b.s:m"},
       root / "usb/ROMS0/1.S:M",
       "Holds \":\", which a FAT drive does not take in a name"},
      {{"Huge.sms"},
       root / "roms/Huge.sms",
       "Is 4,294,967,296 bytes (4.0 GiB); a file on a FAT32 drive holds at most "
       "4,294,967,295 bytes"},
  };
  PosixFileSystem files;
  const Tree before = snapshot(root / "usb");
  for (const auto& c : cases) {
    auto error = errorOf<ExportFailure>([&] {
      exportRomSet({root / "usb", root / "roms", c.names, root / "usb/FILES.TXT"}, files);
    });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->path(), c.path);
    EXPECT_EQ(error->reason(), c.reason);
    EXPECT_TRUE(error->refused());
    EXPECT_EQ(snapshot(root / "usb"), before);
  }
  // What it writes there is read back; a read that fails takes it back.
  const ExportRequest alpha{root / "usb", root / "roms", {"Alpha.sms"}, root / "usb/FILES.TXT"};
  testing::FaultInjectingFileSystem failingRead(files, FileCall::ReadBack, 2,
                                                testing::HostError::IoError);
  const auto error = errorOf<ExportFailure>([&] { exportRomSet(alpha, failingRead); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->step(), "verifying");
  EXPECT_EQ(snapshot(root / "usb"), before);
  const ExportSummary done = exportRomSet(alpha, files);
  EXPECT_EQ(done.spaceUnchecked, std::vector<std::string>{root / "usb"});
  EXPECT_EQ(testing::layoutSnapshot(root / "usb")[kManifestName],
            testing::rightManifest({{"ROMS0/0.SMS", 3}}));
}

// Over an earlier layout: a plain export is refused, saying a replace would
// take it; a replace is refused by anything in a group that is not this
// program's, by a source or an index inside what it renames or removes (the
// earlier groups, what an interrupted export left), and by a folder of the
// user's under a name an interrupted export leaves. Nothing is touched.
TEST_F(ExportFixture, WhatAReplaceCannotTakeIsRefusedUntouched) {
  const Names names = games(0, 40);
  addRoms(names);
  exportRomSet(request(names), files);
  const std::string retired = destination + "/ROMS0.simplekavo-old";
  const std::string leftIndex = destination + "/FILES.TXT.simplekavo-new";
  const struct {
    const char* what;
    std::function<void()> arrange;
    bool replace;
    std::string source;
    Names names;
    std::string index, path, reason;
    bool replaceable = false;
  } cases[] = {
      {"a plain export over the layout", [] {}, false, source, names, "FILES.TXT",
       destination + "/ROMS0", "File exists", true},
      {"a file of the user's in a group",
       [&] { writeFile(destination + "/ROMS1/notes.txt", "the user's"); }, true, source, names,
       "FILES.TXT", destination + "/ROMS1/notes.txt", "Is not a copy of an earlier export"},
      {"the same, without --replace", [] {}, false, source, names, "FILES.TXT",
       destination + "/ROMS0", "File exists"},
      {"exporting from an earlier group",
       [&] { std::filesystem::remove(destination + "/ROMS1/notes.txt"); },
       true,
       destination + "/ROMS0",
       {"0.GG"},
       "FILES.TXT",
       destination + "/ROMS0",
       "Is a folder this export replaces or removes"},
      {"exporting from what an interrupted replace left",
       [&] {
         testing::makeDirectories(retired);
         writeFile(retired + "/0.GG", "the only copy of a game");
         testing::makeDirectories(destination + "/ROMS1.simplekavo-new");
         ASSERT_EQ(::link((source + "/Game 001.sms").c_str(), leftIndex.c_str()), 0);
       },
       true,
       retired,
       {"0.GG"},
       "FILES.TXT",
       retired,
       "Is a folder this export replaces or removes"},
      {"a source that is what an interrupted export left",
       [] {},
       true,
       source,
       {"Game 001.sms"},
       "FILES.TXT",
       source + "/Game 001.sms",
       "Is in what an interrupted export left, which this export removes"},
      {"the index in an earlier group", [] {}, true, source, names, "ROMS0/FILES.TXT",
       destination + "/ROMS0/FILES.TXT", "Lies in a folder this export replaces or removes"},
      {"the index in a staged group", [] {}, true, source, names, "ROMS1.simplekavo-new/FILES.TXT",
       destination + "/ROMS1.simplekavo-new/FILES.TXT",
       "Lies in a folder this export replaces or removes"},
      {"a file of the user's under the manifest's name",
       [&] { writeFile(destination + "/KAVOSUMS.TXT", "my own checksums"); }, true, source, names,
       "FILES.TXT", destination + "/KAVOSUMS.TXT", "Is not this program's manifest"},
      {"the same, without --replace", [] {}, false, source, names, "FILES.TXT",
       destination + "/KAVOSUMS.TXT", "Is not this program's manifest"},
      {"a folder of the user's where an interrupted export leaves a file",
       [&] {
         std::filesystem::remove(leftIndex);
         testing::makeDirectories(leftIndex);
         writeFile(leftIndex + "/notes.txt", "the user's");
       },
       true, source, names, "FILES.TXT", leftIndex, "Is not what an interrupted export left"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    c.arrange();
    const Tree before = snapshot(root.path());
    ExportRequest refused = request(c.names, c.replace);
    refused.source = c.source;
    refused.indexPath = destination + "/" + c.index;
    const auto error = failure(refused, files);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->refused());
    EXPECT_EQ(error->replaceable(), c.replaceable);
    EXPECT_EQ(error->path(), c.path);
    EXPECT_EQ(error->reason(), c.reason);
    EXPECT_EQ(snapshot(root.path()), before);
  }
}

// A source folder deep enough that a file in it has a path longer than the
// host takes: refused before writing, not when its turn comes.
TEST_F(ExportFixture, ASourcePathLongerThanTheHostTakesIsRefused) {
  std::string deep = source;
  while (deep.size() < PATH_MAX - 300) deep += "/" + std::string(200, 'd');
  std::filesystem::create_directories(deep);
  const std::string name(250, 'n');
  {  // Its full path is too long to name, so it is made from its folder.
    const int folder = ::open(deep.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(folder, 0);
    const int file = ::openat(folder, name.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(file, 0);
    ::close(file);
    ::close(folder);
  }
  writeFile(destination + "/FILES.TXT", "an earlier index");
  const Tree before = snapshot(destination);
  ExportRequest deepRequest = request({name});
  deepRequest.source = deep;
  auto error = failure(deepRequest, files);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::BadFileName);
  EXPECT_EQ(error->path(), deep + "/" + name);
  EXPECT_EQ(error->reason(), "File name too long");
  EXPECT_TRUE(error->refused());
  EXPECT_EQ(snapshot(destination), before);
}

TEST_F(ExportFixture, AnotherExportWritingToTheDestinationIsRefused) {
  addRoms({"Alpha.sms"});
  PosixFileSystem other;
  auto held = other.lockDirectory(destination);  // as a second export would
  const Tree before = snapshot(root.path());
  auto error = failure(request({"Alpha.sms"}), files);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->path(), destination);
  EXPECT_EQ(error->reason(), "Another export is writing to this folder");
  EXPECT_EQ(error->step(), "checking the destination");
  EXPECT_EQ(snapshot(root.path()), before);

  held.reset();  // that export ended
  EXPECT_EQ(exportRomSet(request({"Alpha.sms"}), files).files, 1u);
}

TEST_F(ExportFixture, TooLittleFreeSpaceIsRefusedWithWhatIsNeededAndFree) {
  // Three copies of three blocks each, one group directory, and an index
  // and a manifest of one block each: 12 blocks.
  const Names names = {"A.sms", "B.sms", "C.sms"};
  for (const std::string& name : names) writeFile(source + "/" + name, std::string(9000, 'r'));
  const Tree before = snapshot(root.path());
  WatchingFileSystem volume(files, {});
  std::uint64_t available = 12 * 4096 - 1;
  volume.adjustVolume = [&](VolumeFacts& facts) { facts = {true, 4096, available}; };
  auto error = failure(request(names), volume);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::DiskFull);
  EXPECT_EQ(error->path(), destination);
  EXPECT_EQ(error->reason(), "Needs 49,152 bytes (48 KiB); 49,151 bytes (48 KiB) free");
  EXPECT_EQ(error->step(), "checking free space");
  EXPECT_TRUE(error->refused());
  EXPECT_EQ(snapshot(root.path()), before);

  available = 12 * 4096;
  EXPECT_EQ(exportRomSet(request(names), volume).files, 3u);
}

// On a real small disk: an export needing one block more than is free is
// refused before it writes, and one with a little room to spare completes.
TEST(ExportChecksOnAFullDisk, ShortByOneBlockIsRefusedAndARealTmpfsAgrees) {
  TempDirectory root;
  testing::makeDirectories(root / "roms");
  testing::makeDirectories(root / "measure");
  testing::makeDirectories(root / "usb");
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) {
    names.push_back("Game " + std::to_string(i) + ".sms");
    writeFile(root / ("roms/" + names.back()), std::string(5000 + 3000 * i, 'r'));
  }
  const std::uint64_t size = 1024 * 1024;
  auto freeBytes = [](const std::string& path) {
    struct statvfs volume {};
    ::statvfs(path.c_str(), &volume);
    return static_cast<std::uint64_t>(volume.f_bavail) * volume.f_frsize;
  };
  auto exportTo = [&](const std::string& destination) {
    PosixFileSystem files;
    exportRomSet(ExportRequest{destination, root / "roms", names, destination + "/FILES.TXT"},
                 files);
  };

  // What the export really takes on a tmpfs.
  std::uint64_t used = 0;
  {
    auto volume = testing::MountedVolume::tmpfs(root / "measure", size);
    if (!volume.mounted()) GTEST_SKIP() << volume.why();
    const std::uint64_t before = freeBytes(root / "measure");
    exportTo(root / "measure");
    used = before - freeBytes(root / "measure");
  }
  ASSERT_GT(used, 0u);

  for (std::uint64_t room : {used - 4096, used + 4 * 4096}) {
    SCOPED_TRACE(std::to_string(room) + " bytes free, " + std::to_string(used) + " used");
    auto volume = testing::MountedVolume::tmpfs(root / "usb", size);
    ASSERT_TRUE(volume.mounted());
    writeFile(root / "usb/filler", std::string(size - room, 'f'));
    ASSERT_EQ(freeBytes(root / "usb"), room);
    const Tree before = snapshot(root / "usb");
    if (room < used) {
      auto error = errorOf<ExportFailure>([&] { exportTo(root / "usb"); });
      ASSERT_TRUE(error);
      EXPECT_EQ(error->number(), ErrorNumber::DiskFull);
      EXPECT_TRUE(error->refused());
      EXPECT_EQ(snapshot(root / "usb"), before);
    } else {
      exportTo(root / "usb");
      EXPECT_EQ(snapshot(root / "usb").size(), before.size() + names.size() + 3);
    }
  }
}

// The first source is the index itself, through a link, refused while the
// looks at the others are still running: the refusal waits for them, since
// they write into what the checks own (a sanitizer build sees any write
// after it). The index's look waits until three looks at games are held,
// in batches of their own: there are enough games for four.
TEST_F(ExportFixture, ARefusalAmongTheSourcesWaitsForTheLooksInFlight) {
  Names names = {"0 Index.gg"};
  for (int i = 0; i < 255; ++i) names.push_back("Game " + std::to_string(i) + ".gg");
  addRoms(names);
  std::filesystem::remove(source + "/0 Index.gg");
  writeFile(destination + "/FILES.TXT", "an earlier index");
  ASSERT_EQ(::symlink((destination + "/FILES.TXT").c_str(), (source + "/0 Index.gg").c_str()), 0);
  std::latch release(1);
  std::atomic<int> running = 0;
  std::atomic<bool> indexLooked = false;
  WatchingFileSystem slow(files, [&](FileCall call, const std::string& path, const std::string&) {
    if (call != FileCall::Look) return;
    if (path == source + "/0 Index.gg") {
      for (int now = running; now < 3; now = running) running.wait(now);
      indexLooked = true;
      indexLooked.notify_all();
    } else if (path.starts_with(source + "/Game")) {
      ++running;
      running.notify_all();
      release.wait();
      --running;
    }
  });
  std::thread releaser([&] {
    indexLooked.wait(false);
    release.count_down();
  });
  auto error = failure(request(names), slow);
  releaser.join();
  EXPECT_EQ(running, 0);
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->refused());
  EXPECT_EQ(error->reason(), "Is one of the files to export (" + source + "/0 Index.gg)");
}

}  // namespace
}  // namespace kavo
