// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What an export leaves on the drive: the layout and index byte for byte, a
// replace exactly what a fresh export makes, and after a failure part-way
// the destination as it was, or the message names what could not be.
#include "export/export_writer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <ctime>
#include <functional>
#include <mutex>
#include <regex>
#include <thread>

#include "export/manifest.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "platform/services/run_time_error.h"
#include "support/archive_files.h"
#include "support/export_fixture.h"
#include "support/fault_injecting_file_system.h"
#include "support/watching_file_system.h"

namespace kavo::testing {
namespace {

using ExportWriterTest = ExportFixture;

TEST_F(ExportWriterTest, WorkedExampleEndToEnd) {
  addRoms({"Alpha.sms", "Beta Game.gg"});
  const ExportSummary result = exportRomSet(request({"Alpha.sms", "Beta Game.gg"}), files);
  EXPECT_EQ(result.indexPath, destination + "/FILES.TXT");
  EXPECT_EQ(result.files, 2u);
  EXPECT_EQ(result.groups, 1u);
  EXPECT_EQ(result.bytes, romBytes("Alpha.sms").size() + romBytes("Beta Game.gg").size());

  const std::string index = "Alpha.sms,ROMS0\\0.sms\nBeta Game.gg,ROMS0\\1.gg\n  ";
  EXPECT_EQ(index.size(), 48u);
  EXPECT_EQ(layoutSnapshot(destination),
            (Tree{{"FILES.TXT", index},
                  {kManifestName, rightManifest({{"ROMS0/0.SMS", romBytes("Alpha.sms").size()},
                                                 {"ROMS0/1.GG", romBytes("Beta Game.gg").size()}})},
                  {"ROMS0", "<dir>"},
                  {"ROMS0/0.SMS", romBytes("Alpha.sms")},
                  {"ROMS0/1.GG", romBytes("Beta Game.gg")}}));
}

// An earlier index is replaced whole, nothing left beside it; names are
// bytes on disk and Windows-1252 in the index; the answer's file name is
// upper-cased, its directory kept.
TEST_F(ExportWriterTest, TheIndexIsReplacedWholeInWindows1252WhereTheAnswerSays) {
  const Names names = {"Caf\u00e9.sms", "\xff\xfe.gg", "README"};
  addRoms(names);
  writeFile(destination + "/FILES.TXT", "an earlier index, longer than the new one will be");
  writeFile(destination + "/notes.txt", "the user's own");
  ASSERT_EQ(exportRomSet(request(names), files).files, 3u);
  EXPECT_EQ(
      layoutSnapshot(destination),
      (Tree{{kManifestName, rightManifest({{"ROMS0/0.SMS", romBytes(names[0]).size()},
                                           {"ROMS0/1.GG", romBytes(names[1]).size()},
                                           {"ROMS0/2README", romBytes(names[2]).size()}})},
            {"FILES.TXT",  // 59 bytes of records, 5 spaces
             "Caf\xe9.sms,ROMS0\\0.sms\n\xff\xfe.gg,ROMS0\\1.gg\nREADME,ROMS0\\2README\n     "},
            {"notes.txt", "the user's own"},
            {"ROMS0", "<dir>"},
            {"ROMS0/0.SMS", romBytes(names[0])},
            {"ROMS0/1.GG", romBytes(names[1])},
            {"ROMS0/2README", romBytes(names[2])}}));

  makeDirectories(root / "Index Here");
  ExportRequest elsewhere = request({"README"}, false, root / "other");
  makeDirectories(elsewhere.destination);
  elsewhere.indexPath = root / "Index Here/files.txt";
  EXPECT_EQ(exportRomSet(elsewhere, files).indexPath, root / "Index Here/FILES.TXT");
  EXPECT_EQ(snapshot(root / "Index Here"),
            (Tree{{"FILES.TXT", "README,ROMS0\\0README\n" + std::string(11, ' ')}}));
  EXPECT_EQ(proposedIndexPath("/media/usb"), "/media/usb/FILES.TXT");
  EXPECT_EQ(proposedIndexPath("/"), "//FILES.TXT");
}

TEST_F(ExportWriterTest, GroupsOfThirtyWithALastEmptyGroupOnMultiples) {
  const struct {
    std::size_t count;
    std::vector<std::size_t> filesPerGroup;
  } cases[] = {{0, {0}}, {30, {30, 0}}, {31, {30, 1}}, {60, {30, 30, 0}}};
  for (const auto& c : cases) {
    const Folder scratch(root / std::to_string(c.count));
    ExportRequest job{scratch / "out", source, {}, scratch / "out/FILES.TXT"};
    makeDirectories(job.destination);
    std::string expectedRecords;
    for (std::size_t j = 0; j < c.count; ++j) {
      job.names.push_back("Game " + std::to_string(j) + ".sms");
      expectedRecords += layout::record(job.names.back(), j);
    }
    addRoms(job.names);
    ASSERT_EQ(exportRomSet(job, files).groups, c.filesPerGroup.size());

    Tree tree = snapshot(job.destination);
    std::vector<std::size_t> filesPerGroup(c.filesPerGroup.size());
    for (std::size_t j = 0; j < c.count; ++j) {
      const std::string copy = "ROMS" + std::to_string(j / 30) + "/" + std::to_string(j) + ".SMS";
      EXPECT_EQ(tree[copy], romBytes(job.names[j]));
      ++filesPerGroup[j / 30];
    }
    for (std::size_t group = 0; group < filesPerGroup.size(); ++group)
      EXPECT_EQ(tree["ROMS" + std::to_string(group)], "<dir>");
    EXPECT_EQ(filesPerGroup, c.filesPerGroup) << c.count << " names";
    EXPECT_EQ(tree.size(), 2 + c.filesPerGroup.size() + c.count) << "nothing else is made";
    EXPECT_TRUE(parseManifest(tree[kManifestName]));
    EXPECT_EQ(tree["FILES.TXT"],
              expectedRecords + std::string(layout::paddingLength(expectedRecords.size()), ' '));
  }
}

// Records the copies instead of making them, and answers for sources that
// are not there: forty thousand real copies would time the disk rather than
// test the count.
class RecordingCopies final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::vector<std::pair<std::string, std::string>> copies;
  std::string sources;  // the folder whose files are made up
  FileStatus status(const std::string& path, Look look) override {
    if (!path.starts_with(sources + "/")) return ForwardingFileSystem::status(path, look);
    return openForReading(path, Reading::Cached)->status();
  }
  std::unique_ptr<ReadableFile> openForReading(const std::string& path, Reading) override {
    struct Source final : ReadableFile {
      using ReadableFile::ReadableFile;
      std::size_t read(char*, std::size_t) override { return 0; }
      std::size_t readAt(std::uint64_t, char*, std::size_t) override { return 0; }
    };
    FileStatus status;
    status.type = FileType::Regular;
    status.inode = std::hash<std::string>()(path);  // the same file each time
    status.size = 1000;
    return std::make_unique<Source>(status);
  }
  FileStatus copyInto(const std::string& from, const OpenDirectory& into, const std::string& name,
                      const Seen&) override {
    std::lock_guard lock(mutex_);
    copies.emplace_back(from, into.path() + "/" + name);
    return openForReading(from, Reading::Cached)->status();
  }

 private:
  std::mutex mutex_;
};

TEST_F(ExportWriterTest, FortyThousandNamesAreAllExported) {
  Names names;
  for (int j = 0; j < 40'000; ++j) names.push_back("Game " + std::to_string(j) + ".gg");
  RecordingCopies recording(files);
  recording.sources = source;
  ExportRequest unverified = request(names);
  unverified.verify = false;  // there is nothing to read back
  const ExportSummary result = exportRomSet(unverified, recording);
  EXPECT_EQ(result.files, 40'000u);
  EXPECT_EQ(result.bytes, 40'000'000u);

  ASSERT_EQ(recording.copies.size(), 40'000u);
  // Copies run side by side, so they may finish in any order.
  std::sort(recording.copies.begin(), recording.copies.end());
  EXPECT_TRUE(std::binary_search(
      recording.copies.begin(), recording.copies.end(),
      std::make_pair(source + "/Game 39999.gg", destination + "/ROMS1333/39999.GG")));
  EXPECT_EQ(std::unique(recording.copies.begin(), recording.copies.end()), recording.copies.end());
  const std::string index = readFile(destination + "/FILES.TXT");
  EXPECT_EQ(std::count(index.begin(), index.end(), '\n'), 40'000);
  EXPECT_NE(index.find("\nGame 39999.gg,ROMS1333\\39999.gg\n"), std::string::npos);
  EXPECT_EQ(index.size() % 16, 0u);
  EXPECT_TRUE(exists(files, destination + "/ROMS1333"));
  EXPECT_FALSE(exists(files, destination + "/ROMS1334"));
}

// A full disk from copy 35 on, and a flush that fails: the message names
// the step, the path and the reason, and everything made is taken back.
TEST_F(ExportWriterTest, AFailurePartWayTakesBackWhatItMade) {
  const Names names = games(0, 40);
  addRoms(names);
  writeFile(destination + "/FILES.TXT", "an earlier index");
  const Tree before = snapshot(root.path());
  WatchingFileSystem full(files, [&](FileCall call, const std::string& path, const std::string&) {
    if (call == FileCall::Copy && std::stoi(path.substr(path.rfind('/') + 1)) >= 35)
      throw hostError(HostError::NoSpace, path);
  });
  FaultInjectingFileSystem flush(files, Service::Sync, 3,
                                 HostError::IoError);  // the first sync of a volume
  // Sources are looked at, not opened, before writing; one that has become
  // a FIFO, or unreadable, by the time its copy opens it fails part-way.
  const std::string changing = source + "/" + names[36];
  const auto onFirstCopy = [&](std::function<void()> change) {
    return [change, once = std::make_shared<std::once_flag>()](FileCall call, const std::string&,
                                                               const std::string&) {
      if (call == FileCall::Copy) std::call_once(*once, change);
    };
  };
  WatchingFileSystem fifo(files, onFirstCopy([&] {
                            where->removeAll(changing);
                            where->makeFifo(changing);
                          }));
  WatchingFileSystem unreadable(files, onFirstCopy([&] { where->denyAccess(changing); }));
  const struct {
    FileSystem& through;
    ErrorNumber number;
    std::string path, step, message;
  } cases[] = {
      {fifo, ErrorNumber::PathFileAccessError, changing, "copying",
       "Run-time error '75':\n\nPath/File access error\n\n" + changing +
           ": Not a regular file\n\nThe destination was left as it was."},
      {unreadable, ErrorNumber::PermissionDenied, changing, "copying",
       "Run-time error '70':\n\nPermission denied\n\n" + changing +
           ": Permission denied\n\nThe destination was left as it was."},
      {full, ErrorNumber::DiskFull, destination + "/ROMS1/35.SMS", "copying",
       "Run-time error '61':\n\nDisk full\n\n" + destination +
           "/ROMS1/35.SMS: No space left on device\n\nThe destination was left as it was."},
      {flush, ErrorNumber::DeviceIoError, destination, "writing to the drive",
       "Run-time error '57':\n\nDevice I/O error\n\n" + destination +
           ": Input/output error\n\nThe destination was left as it was."},
  };
  for (const auto& c : cases) {
    auto error = failure(request(names), c.through);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), c.number);
    EXPECT_EQ(error->path(), c.path);
    EXPECT_EQ(error->step(), c.step);
    EXPECT_FALSE(error->refused());
    EXPECT_EQ(error->message(), c.message);
    where->removeAll(changing);  // as it was before the case
    writeFile(changing, romBytes(names[36]));
    EXPECT_EQ(snapshot(root.path()), before);
  }
}

// The drive went away after two copies: what is still there is named, the
// last made first (the next group's directory, made before the failure was
// taken back, too); copies never started are not named. One copy at a time,
// so that which ones were made is known.
TEST_F(ExportWriterTest, WhatCouldNotBeTakenBackIsNamed) {
  const Names names = games(0, 40);
  addRoms(names);
  writeFile(destination + "/FILES.TXT", "an earlier index");
  WatchingFileSystem pulled(files, [&](FileCall call, const std::string& path, const std::string&) {
    if ((call == FileCall::Copy && std::stoi(path.substr(path.rfind('/') + 1)) >= 2) ||
        call == FileCall::Remove)
      throw hostError(HostError::IoError, path);
  });
  ExportRequest oneAtATime = request(names);
  oneAtATime.copiesAtOnce = 1;
  auto error = failure(oneAtATime, pulled);
  ASSERT_TRUE(error);
  const std::string io = " (Input/output error)\n";
  EXPECT_EQ(error->note() + "\n", "Not everything this export made could be taken back:\n" +
                                      destination + "/ROMS1" + io + destination + "/ROMS0/2.SMS" +
                                      io + destination + "/ROMS0/1.SMS" + io + destination +
                                      "/ROMS0/0.GG" + io + destination + "/ROMS0" + io +
                                      destination + "/FILES.TXT.simplekavo-new" + io);
  EXPECT_EQ(readFile(destination + "/FILES.TXT"), "an earlier index");
}

// A drive that is not what it claims: it returns other bytes than were
// written to ROMS0/3 (a fake-capacity stick wraps its writes around), or it
// loses a group's copies when the group is renamed (as the FUSE stand-in
// for FAT32 does).
class UnfaithfulDrive final : public ForwardingFileSystem {
 public:
  enum Fault { OtherBytes, LostCopies };
  UnfaithfulDrive(FileSystem& target, Fault fault) : ForwardingFileSystem(target), fault_(fault) {}

  std::unique_ptr<ReadableFile> openForReading(const std::string& path, Reading reading) override {
    struct Lying final : ReadableFile {
      std::unique_ptr<ReadableFile> real;
      explicit Lying(std::unique_ptr<ReadableFile> file)
          : ReadableFile(file->status()), real(std::move(file)) {}
      std::size_t read(char* buffer, std::size_t size) override {
        const std::size_t got = real->read(buffer, size);
        if (got > 0) buffer[0] ^= 1;
        return got;
      }
      std::size_t readAt(std::uint64_t at, char* buffer, std::size_t size) override {
        return real->readAt(at, buffer, size);
      }
    };
    auto file = target_.openForReading(path, reading);
    if (fault_ != OtherBytes || reading != Reading::FromMedium || !path.ends_with("/3.GG"))
      return file;
    return std::make_unique<Lying>(std::move(file));
  }
  std::vector<DirectoryEntry> listDirectory(const std::string& path, Listing listing) override {
    if (fault_ == LostCopies && listing == Listing::Types && path.ends_with("/ROMS1")) return {};
    return target_.listDirectory(path, listing);
  }

 private:
  Fault fault_;
};

TEST_F(ExportWriterTest, WhatTheDriveGetsWrongFailsTheExportAndIsTakenBack) {
  const Names names = games(0, 40);
  addRoms(names);
  exportRomSet(request(games(0, 35)), files);
  // An earlier copy of another size: the manifest no longer matches the
  // layout, every copy is compared byte for byte, and this one is written
  // again.
  writeFile(destination + "/ROMS0/3.GG", "a damaged copy");
  const Tree before = snapshot(destination);
  const struct {
    UnfaithfulDrive::Fault fault;
    std::string step, path, reason, note;
  } cases[] = {
      // The drive gave other bytes back than it was given: it may have put
      // them anywhere, so nothing on it can be promised.
      {UnfaithfulDrive::OtherBytes, "verifying", destination + "/ROMS0.simplekavo-new/3.GG",
       "Reads back different from what was written: the drive may be failing, or smaller than "
       "it claims",
       "The drive returned other bytes than were written to it, so it cannot be trusted: other "
       "files on it may have changed too, whatever this export took back. Test its real capacity "
       "(with a tool such as f3 or H2testw) before you use it again."},
      {UnfaithfulDrive::LostCopies, "putting the new layout in place", destination + "/ROMS1",
       "Lost copies when it was renamed into place", "The destination was left as it was."},
  };
  for (const auto& c : cases) {
    UnfaithfulDrive drive(files, c.fault);
    auto error = failure(request(names, true), drive);
    ASSERT_TRUE(error);
    EXPECT_EQ(error->step(), c.step);
    EXPECT_EQ(error->path(), c.path);
    EXPECT_EQ(error->reason(), c.reason);
    EXPECT_EQ(error->note(), c.note);
    EXPECT_EQ(snapshot(destination), before);
  }
}

// Zipped sets: each archive's one ROM is unpacked on the way, copied under
// the archive's place in the list with the ROM's extension and time, named
// in the index after the archive with the ROM's extension, read back and
// recorded like any copy; an archive that turns out bad part-way fails the
// export, which is taken back.
TEST_F(ExportWriterTest, ArchivesAreUnpackedOnTheWay) {
  const std::string rom(5000, 'z');
  writeFile(source + "/Alpha (USA).zip", archiveBytes("zip", {{"alpha.sms", rom, 1'600'000'000}}));
  writeFile(source + "/Beta.7z", archiveBytes("7z", {{"folder/", ""}, {"Beta.GG", rom + "7"}}));
  writeFile(source + "/Gamma.sms.gz", archiveBytes("gz", {{"data", rom + "gz"}}));
  addRoms({"Delta.sms"});
  const Names names = {"Alpha (USA).zip", "Beta.7z", "Delta.sms", "Gamma.sms.gz"};
  const ExportSummary result = exportRomSet(request(names), files);
  EXPECT_EQ(result.bytes, 3 * rom.size() + 3 + romBytes("Delta.sms").size());
  const Tree tree = layoutSnapshot(destination);
  EXPECT_EQ(tree.at("FILES.TXT"),
            "Alpha (USA).sms,ROMS0\\0.sms\nBeta.GG,ROMS0\\1.GG\nDelta.sms,ROMS0\\2.sms\n"
            "Gamma.sms,ROMS0\\3.sms\n" +
                std::string(5, ' '));
  EXPECT_EQ(tree.at("ROMS0/0.SMS"), rom);
  EXPECT_EQ(tree.at("ROMS0/1.GG"), rom + "7");
  EXPECT_EQ(tree.at("ROMS0/3.SMS"), rom + "gz");
  EXPECT_EQ(modified(destination + "/ROMS0/0.SMS").first, 1'600'000'000);
  EXPECT_EQ(tree.at(kManifestName), rightManifest({{"ROMS0/0.SMS", rom.size()},
                                                   {"ROMS0/1.GG", rom.size() + 1},
                                                   {"ROMS0/2.SMS", romBytes("Delta.sms").size()},
                                                   {"ROMS0/3.SMS", rom.size() + 2}}));
  // A refresh reuses them all, the archives' ROMs hashed to match.
  EXPECT_EQ(exportRomSet(request(names, true), files).reused, 4u);

  // One whose data is damaged after its headers.
  writeFile(source + "/Bad.zip", archiveBytes("zip-stored", {{"Bad.sms", rom}}));
  std::string bad = readFile(source + "/Bad.zip");
  bad[bad.find("zzzz") + 10] = 'Z';
  writeFile(source + "/Bad.zip", bad);
  const Tree before = snapshot(destination);
  auto error = failure(request({"Alpha (USA).zip", "Bad.zip"}, true), files);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->step(), "copying");
  EXPECT_EQ(error->path(), source + "/Bad.zip");
  EXPECT_EQ(error->note(), "The destination was left as it was.");
  EXPECT_EQ(snapshot(destination), before);
}

// A game added in the middle shifts every later index by one: the earlier
// copies are moved, keeping their times, and only the new one is written.
TEST_F(ExportWriterTest, AGameAddedInTheMiddleWritesOnlyItsOwnCopy) {
  Names names = games(0, 70);  // three groups
  addRoms(names);
  exportRomSet(request(names), files);
  EXPECT_EQ(modified(source + "/Game 012.gg"), modified(destination + "/ROMS0/12.GG"));

  // "Game 010a" sorts after "Game 010": every later index shifts by one.
  names.insert(names.begin() + 11, "Game 010a.sms");
  addRoms({"Game 010a.sms"});
  std::atomic<std::uint64_t> copied = 0;
  WatchingFileSystem counting(files,
                              [&](FileCall call, const std::string&, const std::string& from) {
                                if (call == FileCall::Copy)
                                  copied += files.status(from, Look::Target).size;
                              });
  const ExportSummary result = exportRomSet(request(names, true), counting);

  EXPECT_EQ(layoutSnapshot(destination), freshExport(names));
  EXPECT_EQ(copied, romBytes("Game 010a.sms").size());
  EXPECT_TRUE(result.replaced);
  EXPECT_EQ(result.files, 71u);
  EXPECT_EQ(result.reused, 70u);
  EXPECT_EQ(result.removed, 0u);
  EXPECT_EQ(result.bytes, romBytes("Game 010a.sms").size());
  EXPECT_TRUE(result.notRemoved.empty());
  // A moved copy keeps its time; the new one has its source's.
  for (const auto& [copy, name] :
       {std::pair{"/ROMS2/69.SMS", "Game 068.sms"}, std::pair{"/ROMS0/11.SMS", "Game 010a.sms"}}) {
    EXPECT_EQ(modified(destination + copy), modified(source + "/" + name));
  }
}

// Each case changes the sources or the layout after a first export of 65
// games and replaces: the result is a fresh export's, and only the copies
// not reused are written. Sets whose files all carry one time and sizes of
// powers of two fool a check of size and time; the manifest's hashes are
// not fooled (the last three cases).
TEST_F(ExportWriterTest, OnlyWhatChangedIsCopiedAndTheResultIsAFreshExport) {
  const std::string changed = "Game 031.sms";
  auto rewrite = [&](bool sameTime) {
    return [&, sameTime] {
      const auto [seconds, nanoseconds] = modified(source + "/" + changed);
      writeFile(source + "/" + changed, "ROM:" + romBytes(changed).substr(4));
      if (sameTime)
        where->setModified(source + "/" + changed, seconds, nanoseconds);
      else
        where->setModified(source + "/" + changed, std::time(nullptr) + 10, 0);
    };
  };
  const struct {
    const char* what;
    Names names;  // listed in the replace
    std::function<void()> change;
    bool compareBytes;
    std::size_t reused, removed;
  } cases[] = {
      {"games removed",
       [] {
         Names n = games(0, 65);
         n.erase(n.begin() + 3, n.begin() + 40);
         return n;
       }(),
       [] {}, false, 28, 37},
      {"bytes changed, newer time", games(0, 65), rewrite(false), false, 64, 1},
      {"bytes changed, same time, compared by bytes", games(0, 65), rewrite(true), true, 64, 1},
      {"bytes changed, same size and time: found by the manifest", games(0, 65), rewrite(true),
       false, 64, 1},
      {"two names swapped", games(0, 65),
       [&] {
         where->move(source + "/Game 010.sms", source + "/swap");
         where->move(source + "/Game 011.sms", source + "/Game 010.sms");
         where->move(source + "/swap", source + "/Game 011.sms");
       },
       false, 63, 2},
      {"an index left by an export into another place", games(0, 65),
       [&] {
         ExportRequest elsewhere = request(games(3, 68), false, root / "elsewhere");
         makeDirectories(elsewhere.destination);
         exportRomSet(elsewhere, files);
         writeFile(destination + "/FILES.TXT", readFile(root / "elsewhere/FILES.TXT"));
         where->removeAll(root / "elsewhere");
       },
       false, 0, 65},
      {"size changed", games(0, 65), [&] { writeFile(source + "/Game 000.gg", "shorter"); }, false,
       64, 1},
      {"more groups", games(0, 95), [] {}, false, 65, 0},
      {"no earlier index: nothing is reused", games(0, 65),
       [&] { where->removeAll(destination + "/FILES.TXT"); }, false, 0, 65},
      {"nothing to replace: a plain export", games(0, 31),
       [&] {
         for (const char* group : {"/ROMS0", "/ROMS1", "/ROMS2", "/FILES.TXT"})
           where->removeAll(destination + group);
       },
       false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    where->removeAll(destination);
    where->removeAll(source);
    makeDirectories(destination);
    makeDirectories(source);
    addRoms(games(0, 95));
    exportRomSet(request(games(0, 65)), files);
    writeFile(destination + "/keep.txt", "the user's own file");
    c.change();

    std::atomic<std::uint64_t> copied = 0;
    WatchingFileSystem counting(files,
                                [&](FileCall call, const std::string&, const std::string& from) {
                                  if (call == FileCall::Copy)
                                    copied += files.status(from, Look::Target).size;
                                });
    ExportRequest replace = request(c.names, true);
    replace.compareBytes = c.compareBytes;
    const ExportSummary result = exportRomSet(replace, counting);
    Tree expected = freshExport(c.names);
    expected["keep.txt"] = "the user's own file";
    EXPECT_EQ(layoutSnapshot(destination), expected);
    EXPECT_EQ(result.reused, c.reused);
    EXPECT_EQ(result.removed, c.removed);
    EXPECT_EQ(copied, result.bytes);
  }
}

// What an interrupted replace leaves refuses a plain export, which names
// only the leftovers to remove, and is cleared by a replace, which then
// trusts nothing of the earlier layout; clearing that fails part-way says
// what it removed.
TEST_F(ExportWriterTest, AnInterruptedReplacesLeftoversAreClearedAndNothingReused) {
  const Names names = games(0, 35);
  addRoms(names);
  exportRomSet(request(names), files);
  makeDirectories(destination + "/ROMS1.simplekavo-new");
  writeFile(destination + "/ROMS1.simplekavo-new/31.SMS", "part of a copy");
  makeDirectories(destination + "/ROMS0.simplekavo-old");
  writeFile(destination + "/FILES.TXT.simplekavo-new", "part of an index");

  auto refused = failure(request(names), files);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->reason(), "Left by an interrupted export");
  EXPECT_TRUE(refused->replaceable());
  EXPECT_EQ(refused->note(), "Remove " + destination + "/FILES.TXT.simplekavo-new, " + destination +
                                 "/ROMS0.simplekavo-old, " + destination +
                                 "/ROMS1.simplekavo-new to export again.");

  Tree before = snapshot(destination);
  // The second removal of the clearing, after the two of the plan's probe of
  // folder renames.
  FaultInjectingFileSystem failingRemove(files, Service::Remove, 4, HostError::IoError);
  auto failed = failure(request(names, true), failingRemove);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->step(), "clearing what an interrupted export left");
  EXPECT_EQ(failed->note(), "Of what an interrupted export left, " + destination +
                                "/ROMS0.simplekavo-old was removed; nothing else was changed.");
  before.erase("ROMS0.simplekavo-old");
  EXPECT_EQ(snapshot(destination), before);

  EXPECT_EQ(exportRomSet(request(names, true), files).reused, 0u);
  EXPECT_EQ(layoutSnapshot(destination), freshExport(names));
}

// Interrupted between the index's two renames, an export leaves the earlier
// index only under its waiting name. A plain export says so; a replace
// puts it back before it removes anything, and a replace that then fails
// says what it changed rather than that nothing was.
TEST_F(ExportWriterTest, AnIndexLeftUnderItsWaitingNameIsPutBackFirst) {
  const Names names = games(0, 35);
  addRoms(names);
  exportRomSet(request(names), files);
  const std::string index = destination + "/FILES.TXT";
  const std::string earlierIndex = readFile(index);
  where->move(index, index + ".simplekavo-old");
  writeFile(index + ".simplekavo-new", "the index of the interrupted export");

  auto refused = failure(request(names), files);
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->note(), index +
                                 ".simplekavo-old is the earlier index: rename it FILES.TXT, "
                                 "and remove " +
                                 index + ".simplekavo-new to export again.");

  FaultInjectingFileSystem failingCopy(files, Service::Copy, 1, HostError::NoSpace);
  auto failed = failure(request(names, true), failingCopy);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->step(), "copying");
  EXPECT_EQ(failed->note(),
            "The destination was left as it was, but for what an interrupted export left: " +
                index + ".simplekavo-old was put back as " + index + ", and " + index +
                ".simplekavo-new was removed.");
  EXPECT_EQ(readFile(index), earlierIndex);
  EXPECT_FALSE(exists(files, index + ".simplekavo-old"));

  // The earlier layout and its index are whole again, so a replace reuses
  // every copy.
  EXPECT_EQ(exportRomSet(request(names, true), files).reused, names.size());
  EXPECT_EQ(layoutSnapshot(destination), freshExport(names));
}

// What the progress shows, step by step: one bar, whose count never goes
// back, over the copying and the reading back (the flush halfway); the
// copies counted are complete, and the name shown is that of a complete
// copy (the first copy's, while it is the one in hand). Each copy and read
// back is slowed, so that the steps, a few a second, fall between them.
TEST_F(ExportWriterTest, OneBarOverCopyingAndReadingBackNamingACompleteCopy) {
  Names names;
  for (int j = 0; j < 8; ++j) names.push_back("Game " + std::to_string(j) + ".gg");
  constexpr std::size_t kSize = 600 * 1024;  // three pieces of a copy
  for (const std::string& name : names) writeFile(source + "/" + name, std::string(kSize, 'g'));
  struct Step {
    std::string text, detail;
    std::size_t done, total;
    bool complete;  // the copy it names held all its bytes then
  };
  struct Recording final : Progress {
    std::function<bool(const std::string&)> complete;
    std::mutex mutex;
    std::vector<Step> steps;
    void step(const std::string& text, const std::string& detail, std::size_t done,
              std::size_t total) override {
      const bool whole = complete(detail);
      std::lock_guard lock(mutex);
      steps.push_back({text, detail, done, total, whole});
    }
    void finish() override {}
  } recording;
  recording.complete = [&](const std::string& name) {
    const auto at = std::find(names.begin(), names.end(), name);
    if (at == names.end()) return false;
    const std::string copy = destination + "/ROMS0/" + std::to_string(at - names.begin()) + ".GG";
    const FileStatus status = files.status(copy);
    return status.type == FileType::Regular && status.size == kSize;
  };
  WatchingFileSystem slow(files, [](FileCall call, const std::string&, const std::string&) {
    if (call == FileCall::Copy || call == FileCall::ReadBack)
      std::this_thread::sleep_for(std::chrono::milliseconds(60));
  });
  exportRomSet(request(names), slow, recording);

  const std::size_t total = 2 * names.size() * kSize;  // bytes copied and read back
  std::size_t copiedSteps = 0, readBackSteps = 0, done = 0;
  for (const Step& step : recording.steps) {
    SCOPED_TRACE(step.text + " " + step.detail);
    EXPECT_EQ(step.total, total);
    EXPECT_GE(step.done, done);
    done = step.done;
    if (step.text == "Writing to the drive") {
      EXPECT_EQ(step.done, total / 2);
      continue;
    }
    std::smatch m;
    ASSERT_TRUE(std::regex_match(step.text, m, std::regex("(Copied|Read back) (\\d+) of 8")));
    const int count = std::stoi(m[2]);
    if (m[1] == "Copied") {
      ++copiedSteps;
      EXPECT_LE(step.done, total / 2);
      EXPECT_TRUE(step.complete || (count == 0 && step.detail == names[0]));
    } else {
      ++readBackSteps;
      EXPECT_GT(step.done, total / 2);
      EXPECT_GE(count, 1);
      EXPECT_TRUE(step.complete);
    }
  }
  EXPECT_GE(copiedSteps, 4u);
  EXPECT_GE(readBackSteps, 4u);
}

}  // namespace
}  // namespace kavo::testing
