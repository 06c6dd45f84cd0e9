// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Everything that can be known before an export writes is refused then, and
// leaves every file as it was: the sources, the destination, earlier indexes.
#include "export/export_checks.h"

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "export/manifest.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"
#include "support/archive_files.h"
#include "support/error_of.h"
#include "support/export_fixture.h"
#include "support/waitable.h"
#include "support/watching_file_system.h"

namespace kavo::testing {
namespace {

using ExportChecksTest = ExportFixture;

// Every occurrence of "ROOT" replaced by the root's path.
std::string expand(std::string text, const std::string& root) {
  for (std::size_t at; (at = text.find("ROOT")) != std::string::npos;) text.replace(at, 4, root);
  return text;
}

// Each case is refused before anything is written: nothing under the root
// (sources, destination, earlier indexes) changes. "ROOT" in a text stands
// for the folder holding "roms" and "usb".
TEST_F(ExportChecksTest, RefusedBeforeWritingLeavesEverythingAsItWas) {
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
  const auto link = [&](const char* target, const char* at) {
    return [=, this](const std::string& root) {
      where->removeAll(expand(at, root));
      where->makeLink(expand(target, root), expand(at, root));
    };
  };
  const std::string kNotFullPath = paths::kHost.driveLetters
                                       ? "Not a full path to a file, such as E:\\FILES.TXT"
                                       : "Not a full path to a file, such as /media/usb/FILES.TXT";
  const Case cases[] = {
      {"the answer's directory is missing", nothing, three, "ROOT/usb/missing/FILES.TXT",
       ErrorNumber::PathNotFound, "ROOT/usb/missing/FILES.TXT", "No such file or directory"},
      {"the answer names a directory once upper-cased",
       [&](const std::string& root) { makeDirectories(root + "/usb/OLD"); }, three, "ROOT/usb/old",
       ErrorNumber::PathFileAccessError, "ROOT/usb/OLD", "Is a directory"},
      {"the answer names a directory as typed",
       [&](const std::string& root) { makeDirectories(root + "/usb/out"); }, three, "ROOT/usb/out",
       ErrorNumber::PathFileAccessError, "ROOT/usb/out", "Is a directory"},
      // On Windows the example is a full path, to a drive's root folder.
      {"the answer is the prompt's own example", nothing, three, "C:\\", ErrorNumber::BadFileName,
       "C:\\", paths::kHost.driveLetters ? "Names a folder, not a file" : kNotFullPath},
      {"the answer is a relative path", nothing, three, "usb/FILES.TXT", ErrorNumber::BadFileName,
       "usb/FILES.TXT", kNotFullPath},
      {"the answer ends with a separator", nothing, three, "ROOT/usb/", ErrorNumber::BadFileName,
       "ROOT/usb/", "Names a folder, not a file"},
      {"FILES.TXT is a symbolic link to a source", link("../roms/Alpha.sms", "ROOT/usb/FILES.TXT"),
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/FILES.TXT",
       "Is a symbolic link"},
      {"FILES.TXT is a symbolic link to a FIFO",
       [&](const std::string& root) {
         where->makeFifo(root + "/pipe");
         link("ROOT/pipe", "ROOT/usb/FILES.TXT")(root);
       },
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/FILES.TXT",
       "Is a symbolic link"},
      {"FILES.TXT is a hard link to a source",
       [&](const std::string& root) {
         where->removeAll(root + "/usb/FILES.TXT");
         where->makeHardLink(root + "/roms/Alpha.sms", root + "/usb/FILES.TXT");
       },
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/FILES.TXT",
       "Has other hard links, which would lose their contents"},
      {"FILES.TXT is a FIFO",
       [&](const std::string& root) {
         where->removeAll(root + "/usb/FILES.TXT");
         where->makeFifo(root + "/usb/FILES.TXT");
       },
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/FILES.TXT",
       "Not a regular file"},
      {"the index path is a listed source",
       [&](const std::string& root) { writeFile(root + "/roms/SONIC.SMS", "rom"); },
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
       [&](const std::string& root) { writeFile(root + "/roms/FILES.TXT", "an index"); },
       {"Alpha.sms", "FILES.TXT"},
       "ROOT/roms/FILES.TXT",
       ErrorNumber::PathFileAccessError,
       "ROOT/roms/FILES.TXT",
       "Is one of the files to export",
       "ROOT/roms"},
      {"the index takes the name of a group directory", nothing, thirtyOne, "ROOT/usb/roms1",
       ErrorNumber::PathFileAccessError, "ROOT/usb/ROMS1",
       "Is the name of a folder this export makes"},
      {"ROMS0 exists", [&](const std::string& root) { makeDirectories(root + "/usb/ROMS0"); },
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/ROMS0",
       "File exists"},
      {"the last group's directory exists",
       [&](const std::string& root) { makeDirectories(root + "/usb/ROMS1"); }, thirtyOne,
       "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/usb/ROMS1", "File exists"},
      {"an interrupted export left its new index",
       [&](const std::string& root) { writeFile(root + "/usb/FILES.TXT.simplekavo-new", "F"); },
       three, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError,
       "ROOT/usb/FILES.TXT.simplekavo-new", "Left by an interrupted export"},
      {"the destination is gone", [&](const std::string& root) { where->removeAll(root + "/usb"); },
       three, "ROOT/FILES.TXT", ErrorNumber::PathNotFound, "ROOT/usb", "No such file or directory"},
      {"a name holds a line break",
       [&](const std::string& root) { writeFile(root + "/roms/Bad\nName.sms", ""); },
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
       [&](const std::string& root) { where->makeFifo(root + "/roms/Pipe.sms"); },
       {"Alpha.sms", "Pipe.sms"},
       "ROOT/usb/FILES.TXT",
       ErrorNumber::PathFileAccessError,
       "ROOT/roms/Pipe.sms",
       "Not a regular file"},
      {"two names make one copy name",
       [&](const std::string& root) {
         writeFile(root + "/roms/23", "rom");
         writeFile(root + "/roms/3", "rom");
       },
       clashing, "ROOT/usb/FILES.TXT", ErrorNumber::PathFileAccessError, "ROOT/roms/3",
       "Takes the copy name ROMS0/123, as ROOT/roms/23 does"},
      {"a folder of the user's stands where an interrupted export leaves a file",
       [&](const std::string& root) {
         makeDirectories(root + "/usb/FILES.TXT.simplekavo-old");
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
    const Folder at(root / std::to_string(&c - cases));  // the case's own folder
    makeDirectories(at / "roms");
    makeDirectories(at / "usb");
    for (const std::string& name : three) writeFile(at / ("roms/" + name), romBytes(name));
    writeFile(at / "usb/FILES.TXT", "the index of an earlier export");
    writeFile(at / "FILES.TXT", "another earlier index");
    c.arrange(at.path());
    const Tree before = snapshot(at.path());

    const auto error = errorOf<ExportFailure>([&] {
      exportRomSet(ExportRequest{expand(c.destination, at.path()), at / "roms", c.names,
                                 expand(c.answer, at.path())},
                   files);
    });
    if (!error) continue;
    EXPECT_EQ(error->number(), c.number);
    EXPECT_EQ(error->path(), expand(c.path, at.path()));
    EXPECT_EQ(error->reason(), expand(c.reason, at.path()));
    EXPECT_TRUE(error->refused()) << error->step();
    EXPECT_EQ(snapshot(at.path()), before) << "nothing is created or changed";
  }
}

// Over an earlier layout: a plain export is refused, saying a replace would
// take it; a replace is refused by anything in a group that is not this
// program's, by a source or an index inside what it renames or removes (the
// earlier groups, what an interrupted export left), and by a folder of the
// user's under a name an interrupted export leaves. Nothing is touched.
// Every source the checks refuse is named in the one message, the first as
// the error and the rest in its note, so that a player fixes them together.
TEST_F(ExportChecksTest, EveryRefusedSourceIsNamedAtOnce) {
  addRoms({"Alpha.sms"});
  std::string truncated = archiveBytes("zip", {{"Beta.sms", std::string(5000, 'b')}});
  truncated.resize(truncated.size() / 2);
  writeFile(source + "/Beta.zip", truncated);
  writeFile(source + "/Gamma.zip",
            archiveBytes("zip", {{"Gamma (USA).sms", "g"}, {"Gamma (Japan).sms", "j"}}));
  writeFile(source + "/Delta.s,ms", "comma");
  const auto error =
      failure(request({"Alpha.sms", "Beta.zip", "Delta.s,ms", "Gamma.zip", "Missing.sms"}), files);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->path(), source + "/Delta.s,ms");  // the names come first
  EXPECT_EQ(error->note(), "");
  writeFile(source + "/Delta.sms", "no comma");
  const auto all =
      failure(request({"Alpha.sms", "Beta.zip", "Delta.sms", "Gamma.zip", "Missing.sms"}), files);
  ASSERT_TRUE(all);
  EXPECT_EQ(all->path(), source + "/Beta.zip");
  EXPECT_TRUE(all->note().starts_with("Refused too:\n" + source + "/Gamma.zip: Holds 2 ROMs"))
      << all->note();
  EXPECT_TRUE(all->note().ends_with("\n" + source + "/Missing.sms: No such file or directory"))
      << all->note();
}

TEST_F(ExportChecksTest, WhatAReplaceCannotTakeIsRefusedUntouched) {
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
       [&] { where->removeAll(destination + "/ROMS1/notes.txt"); },
       true,
       destination + "/ROMS0",
       {"0.GG"},
       "FILES.TXT",
       destination + "/ROMS0",
       "Is a folder this export replaces or removes"},
      {"exporting from what an interrupted replace left",
       [&] {
         makeDirectories(retired);
         writeFile(retired + "/0.GG", "the only copy of a game");
         makeDirectories(destination + "/ROMS1.simplekavo-new");
         where->makeHardLink(source + "/Game 001.sms", leftIndex);
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
         where->removeAll(leftIndex);
         makeDirectories(leftIndex);
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
TEST_F(ExportChecksTest, ASourcePathLongerThanTheHostTakesIsRefused) {
  const std::string name(250, 'n');
  std::string deep = source;
  while (deep.size() + 1 + name.size() < paths::kHost.longestPath)
    deep += "/" + std::string(200, 'd');
  makeDirectories(deep);
  writeFile(deep + "/" + name, "");  // a user's tools may make it from its folder
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

TEST_F(ExportChecksTest, AnotherExportWritingToTheDestinationIsRefused) {
  addRoms({"Alpha.sms"});
  auto held = files.lockDirectory(destination);  // as a second export would
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

TEST_F(ExportChecksTest, TooLittleFreeSpaceIsRefusedWithWhatIsNeededAndFree) {
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

// The first source is the index itself, through a link, refused while the
// looks at the others are still running: the refusal waits for them, since
// they write into what the checks own (a sanitizer build sees any write
// after it). The index's look waits until three looks at games are held,
// in batches of their own: there are enough games for four.
TEST_F(ExportChecksTest, ARefusalAmongTheSourcesWaitsForTheLooksInFlight) {
  Names names = {"0 Index.gg"};
  for (int i = 0; i < 255; ++i) names.push_back("Game " + std::to_string(i) + ".gg");
  addRoms(names);
  where->removeAll(source + "/0 Index.gg");
  writeFile(destination + "/FILES.TXT", "an earlier index");
  where->makeLink(destination + "/FILES.TXT", source + "/0 Index.gg");
  const auto isTrue = [](bool value) { return value; };
  Waitable<bool> release, indexLooked;
  Waitable<int> running;
  WatchingFileSystem slow(files, [&](FileCall call, const std::string& path, const std::string&) {
    if (call != FileCall::Look) return;
    if (path == source + "/0 Index.gg") {
      running.waitUntil([](int now) { return now >= 3; });
      indexLooked.set(true);
    } else if (path.starts_with(source + "/Game")) {
      running.change([](int& now) { ++now; });
      release.waitUntil(isTrue);
      running.change([](int& now) { --now; });
    }
  });
  std::thread releaser([&] {
    indexLooked.waitUntil(isTrue);
    release.set(true);
  });
  auto error = failure(request(names), slow);
  releaser.join();
  EXPECT_EQ(running.get(), 0);
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->refused());
  EXPECT_EQ(error->reason(), "Is one of the files to export (" + source + "/0 Index.gg)");
}

}  // namespace
}  // namespace kavo::testing
