// Replacing an earlier layout: the result is exactly what a fresh export of
// the new list would make, earlier copies that are still right are moved
// rather than written, and anything that is not this program's is refused.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <functional>

#include "export/export_checks.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "platform/services/forwarding_file_system.h"
#include "platform/services/posix_file_system.h"
#include "support/error_of.h"
#include "support/fault_injecting_file_system.h"
#include "support/mounted_volume.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::errorOf;
using testing::readFile;
using testing::snapshot;
using testing::TempDirectory;
using testing::writeFile;
using Names = std::vector<std::string>;

// Counts the bytes the copies write.
class CountingCopies final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  void copyInto(const std::string& from, const OpenDirectory& into,
                const std::string& name) override {
    copiedBytes += target_.inspectSource(from).size;
    target_.copyInto(from, into, name);
  }
  std::atomic<std::uint64_t> copiedBytes = 0;
};

struct timespec modified(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0) << path;
  return status.st_mtim;
}

void setModified(const std::string& path, std::time_t seconds) {
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// Names that sort in the order given.
Names games(int from, int to) {
  Names names;
  for (int i = from; i < to; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Game %03d.%s", i, i % 3 ? "sms" : "gg");
    names.push_back(name);
  }
  return names;
}

class LayoutReplaceTest : public ::testing::Test {
 protected:
  LayoutReplaceTest() {
    testing::makeDirectories(source);
    testing::makeDirectories(destination);
    testing::makeDirectories(fresh);
  }

  void addRoms(const Names& names) {
    for (const std::string& name : names)
      writeFile(source + "/" + name, "rom " + name + std::string(200, '.'));
  }

  ExportRequest request(const Names& names, bool replace = true,
                        const std::string& into = {}) const {
    ExportRequest request{into.empty() ? destination : into, source, names,
                          (into.empty() ? destination : into) + "/FILES.TXT"};
    request.replace = replace;
    return request;
  }

  // What a plain export of `names` makes in an empty destination.
  std::map<std::string, std::string> freshExport(const Names& names) {
    exportRomSet(request(names, false, fresh), files);
    auto tree = snapshot(fresh);
    std::filesystem::remove_all(fresh);
    testing::makeDirectories(fresh);
    return tree;
  }

  TempDirectory root;
  const std::string source = root / "roms";
  const std::string destination = root / "usb";
  const std::string fresh = root / "fresh";
  PosixFileSystem files;
};

TEST_F(LayoutReplaceTest, AGameAddedInTheMiddleWritesOnlyItsOwnCopy) {
  Names names = games(0, 70);  // three groups
  addRoms(names);
  exportRomSet(request(names, false), files);
  EXPECT_EQ(modified(source + "/Game 012.gg").tv_nsec,
            modified(destination + "/ROMS0/12.GG").tv_nsec);

  // "Game 010a" sorts after "Game 010": every later index shifts by one.
  names.insert(names.begin() + 11, "Game 010a.sms");
  addRoms({"Game 010a.sms"});
  CountingCopies counting(files);
  const ExportSummary result = exportRomSet(request(names), counting);

  EXPECT_EQ(snapshot(destination), freshExport(names));
  EXPECT_EQ(counting.copiedBytes, 4u + 13 + 200);
  EXPECT_TRUE(result.replaced);
  EXPECT_EQ(result.files, 71u);
  EXPECT_EQ(result.reused, 70u);
  EXPECT_EQ(result.removed, 0u);
  EXPECT_EQ(result.bytes, 4u + 13 + 200);
  EXPECT_TRUE(result.notRemoved.empty());
  // A moved copy keeps its time; the new one has its source's.
  for (const char* path : {"/ROMS2/69.SMS", "/ROMS0/11.SMS"}) {
    const std::string name =
        path == std::string("/ROMS0/11.SMS") ? "Game 010a.sms" : "Game 068.sms";
    EXPECT_EQ(modified(destination + path).tv_sec, modified(source + "/" + name).tv_sec);
    EXPECT_EQ(modified(destination + path).tv_nsec, modified(source + "/" + name).tv_nsec);
  }
}

// Each case changes the sources after a first export and replaces: the
// result is always a fresh export's, and only what changed is copied.
TEST_F(LayoutReplaceTest, OnlyWhatChangedIsCopiedAndTheResultIsAFreshExports) {
  const struct {
    const char* what;
    Names names;  // listed in the replace
    std::function<void(const std::string& source)> change;
    bool compareBytes;
    std::size_t reused, removed;
  } cases[] = {
      {"games removed",
       [] {
         Names n = games(0, 65);
         n.erase(n.begin() + 3, n.begin() + 40);
         return n;
       }(),
       {},
       false,
       28,
       37},
      {"bytes changed, newer time", games(0, 65),
       [](const std::string& s) {
         writeFile(s + "/Game 031.sms", "ROM Game 031.sms" + std::string(200, '.'));
         setModified(s + "/Game 031.sms", std::time(nullptr) + 10);
       },
       false, 64, 1},
      {"bytes changed, same time, compared by bytes", games(0, 65),
       [](const std::string& s) {
         const struct timespec before = modified(s + "/Game 031.sms");
         writeFile(s + "/Game 031.sms", "ROM Game 031.sms" + std::string(200, '.'));
         const struct timespec times[2] = {before, before};
         ASSERT_EQ(::utimensat(AT_FDCWD, (s + "/Game 031.sms").c_str(), times, 0), 0);
       },
       true, 64, 1},
      {"size changed", games(0, 65),
       [](const std::string& s) { writeFile(s + "/Game 000.gg", "shorter"); }, false, 64, 1},
      {"an empty list", {}, {}, false, 0, 65},
      {"more groups", games(0, 95), {}, false, 65, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::filesystem::remove_all(destination);
    std::filesystem::remove_all(source);
    testing::makeDirectories(destination);
    testing::makeDirectories(source);
    addRoms(games(0, 95));
    exportRomSet(request(games(0, 65), false), files);
    writeFile(destination + "/keep.txt", "the user's own file");
    if (c.change) c.change(source);

    ExportRequest replace = request(c.names);
    replace.compareBytes = c.compareBytes;
    const ExportSummary result = exportRomSet(replace, files);
    auto expected = freshExport(c.names);
    expected["keep.txt"] = "the user's own file";
    EXPECT_EQ(snapshot(destination), expected);
    EXPECT_EQ(result.reused, c.reused);
    EXPECT_EQ(result.removed, c.removed);
  }
}

// The quick check trusts size and time, as rsync's does: bytes changed
// under the same size and time are only found by comparing them.
TEST_F(LayoutReplaceTest, TheQuickCheckTrustsSizeAndTime) {
  const Names names = games(0, 3);
  addRoms(names);
  exportRomSet(request(names, false), files);
  const struct timespec before = modified(source + "/Game 001.sms");
  writeFile(source + "/Game 001.sms", "ROM Game 001.sms" + std::string(200, '.'));
  const struct timespec times[2] = {before, before};
  ASSERT_EQ(::utimensat(AT_FDCWD, (source + "/Game 001.sms").c_str(), times, 0), 0);
  EXPECT_EQ(exportRomSet(request(names), files).reused, 3u);
  EXPECT_EQ(readFile(destination + "/ROMS0/1.SMS"), "rom Game 001.sms" + std::string(200, '.'));
}

TEST_F(LayoutReplaceTest, WithoutTheEarlierIndexNothingIsReused) {
  const Names names = games(0, 40);
  addRoms(names);
  exportRomSet(request(names, false), files);
  std::filesystem::remove(destination + "/FILES.TXT");
  CountingCopies counting(files);
  const ExportSummary result = exportRomSet(request(names), counting);
  EXPECT_EQ(snapshot(destination), freshExport(names));
  EXPECT_EQ(result.reused, 0u);
  EXPECT_EQ(result.removed, 40u);
  EXPECT_EQ(counting.copiedBytes, result.bytes);
}

// A plain export is refused by an earlier layout, saying a replace would
// take it; a group directory holding anything this program would not have
// put there refuses a replace too, and nothing is touched either way.
TEST_F(LayoutReplaceTest, RefusalsLeaveEverythingAsItWas) {
  const Names names = games(0, 40);
  addRoms(names);
  exportRomSet(request(names, false), files);
  const auto layoutOnly = snapshot(destination);

  auto plain = errorOf<ExportFailure>([&] { exportRomSet(request(names, false), files); });
  ASSERT_TRUE(plain);
  EXPECT_TRUE(plain->refused());
  EXPECT_TRUE(plain->replaceable());
  EXPECT_EQ(snapshot(destination), layoutOnly);

  writeFile(destination + "/ROMS1/notes.txt", "the user's");
  const auto before = snapshot(destination);
  for (bool replace : {true, false}) {
    auto refused = errorOf<ExportFailure>([&] { exportRomSet(request(names, replace), files); });
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->refused());
    EXPECT_FALSE(refused->replaceable());
    if (replace) {
      EXPECT_EQ(refused->path(), destination + "/ROMS1/notes.txt");
      EXPECT_EQ(refused->reason(), "Is not a copy of an earlier export");
    }
    EXPECT_EQ(snapshot(destination), before);
  }
}

// Neither a source nor the index may lie in what a replace renames or
// removes (the earlier groups, what an interrupted export left), and only a
// plain file can be what an interrupted export left beside the index: each
// is refused with nothing touched, the sources included.
TEST_F(LayoutReplaceTest, WhatAReplaceRemovesHoldsNoSourceNorTheIndex) {
  const Names names = games(0, 40);
  addRoms(names);
  exportRomSet(request(names, false), files);
  const std::string retired = destination + "/ROMS0.simplekavo-old";
  testing::makeDirectories(retired);
  writeFile(retired + "/0.GG", "the only copy of a game");
  testing::makeDirectories(destination + "/ROMS1.simplekavo-new");
  ASSERT_EQ(::link((source + "/Game 001.sms").c_str(),
                   (destination + "/FILES.TXT.simplekavo-new").c_str()),
            0);
  const struct {
    const char* what;
    std::string source;
    Names names;
    std::string index, path, reason;
  } cases[] = {
      {"exporting from an earlier group",
       destination + "/ROMS0",
       {"0.GG"},
       "FILES.TXT",
       destination + "/ROMS0",
       "Is a folder this export replaces or removes"},
      {"exporting from what an interrupted replace left",
       retired,
       {"0.GG"},
       "FILES.TXT",
       retired,
       "Is a folder this export replaces or removes"},
      {"a source that is what an interrupted export left",
       source,
       {"Game 001.sms"},
       "FILES.TXT",
       source + "/Game 001.sms",
       "Is in what an interrupted export left, which this export removes"},
      {"the index in an earlier group", source, names, "ROMS0/FILES.TXT",
       destination + "/ROMS0/FILES.TXT", "Lies in a folder this export replaces or removes"},
      {"the index in a staged group", source, names, "ROMS1.simplekavo-new/FILES.TXT",
       destination + "/ROMS1.simplekavo-new/FILES.TXT",
       "Lies in a folder this export replaces or removes"},
  };
  const auto before = snapshot(root.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ExportRequest replace = request(c.names);
    replace.source = c.source;
    replace.indexPath = destination + "/" + c.index;
    auto refused = errorOf<ExportFailure>([&] { exportRomSet(replace, files); });
    ASSERT_TRUE(refused);
    EXPECT_TRUE(refused->refused());
    EXPECT_EQ(refused->path(), c.path);
    EXPECT_EQ(refused->reason(), c.reason);
    EXPECT_EQ(snapshot(root.path()), before);
  }

  std::filesystem::remove(destination + "/FILES.TXT.simplekavo-new");
  testing::makeDirectories(destination + "/FILES.TXT.simplekavo-new");
  writeFile(destination + "/FILES.TXT.simplekavo-new/notes.txt", "the user's");
  const auto withFolder = snapshot(root.path());
  auto refused = errorOf<ExportFailure>([&] { exportRomSet(request(names), files); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->reason(), "Is not what an interrupted export left");
  EXPECT_EQ(snapshot(root.path()), withFolder);
}

// What an interrupted replace leaves refuses a plain export and is cleared
// by a replace, which then trusts nothing of the earlier layout.
TEST_F(LayoutReplaceTest, AnInterruptedReplacesLeftoversAreClearedAndNothingReused) {
  const Names names = games(0, 35);
  addRoms(names);
  exportRomSet(request(names, false), files);
  testing::makeDirectories(destination + "/ROMS1.simplekavo-new");
  writeFile(destination + "/ROMS1.simplekavo-new/31.SMS", "part of a copy");
  testing::makeDirectories(destination + "/ROMS0.simplekavo-old");
  writeFile(destination + "/FILES.TXT.simplekavo-new", "part of an index");

  // A plain export names what to remove: only the leftovers, not the
  // complete layout beside them.
  auto refused = errorOf<ExportFailure>([&] { exportRomSet(request(names, false), files); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->reason(), "Left by an interrupted export");
  EXPECT_TRUE(refused->replaceable());
  EXPECT_EQ(refused->note(), "Remove " + destination + "/FILES.TXT.simplekavo-new, " + destination +
                                 "/ROMS0.simplekavo-old, " + destination +
                                 "/ROMS1.simplekavo-new to export again.");

  // Clearing that fails part-way says what it removed, and has made nothing
  // of the new layout.
  auto before = snapshot(destination);
  testing::FaultInjectingFileSystem failingRemove(files, testing::Service::Remove, 2, EIO);
  auto failed = errorOf<ExportFailure>([&] { exportRomSet(request(names), failingRemove); });
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->step(), "clearing what an interrupted export left");
  EXPECT_EQ(failed->note(), "Of what an interrupted export left, " + destination +
                                "/ROMS0.simplekavo-old was removed; nothing else was changed.");
  before.erase("ROMS0.simplekavo-old");
  EXPECT_EQ(snapshot(destination), before);

  const ExportSummary result = exportRomSet(request(names), files);
  EXPECT_EQ(result.reused, 0u);
  EXPECT_EQ(snapshot(destination), freshExport(names));
}

// Interrupted between the index's two renames, an export leaves the earlier
// index only under its waiting name. A plain export says so; a replace
// puts it back before it removes anything, and a replace that then fails
// says what it changed rather than that nothing was.
TEST_F(LayoutReplaceTest, AnIndexLeftUnderItsWaitingNameIsPutBackFirst) {
  const Names names = games(0, 35);
  addRoms(names);
  exportRomSet(request(names, false), files);
  const std::string index = destination + "/FILES.TXT";
  const std::string earlierIndex = readFile(index);
  std::filesystem::rename(index, index + ".simplekavo-old");
  writeFile(index + ".simplekavo-new", "the index of the interrupted export");

  auto refused = errorOf<ExportFailure>([&] { exportRomSet(request(names, false), files); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->note(), index +
                                 ".simplekavo-old is the earlier index: rename it "
                                 "FILES.TXT, and remove " +
                                 index + ".simplekavo-new to export again.");

  testing::FaultInjectingFileSystem failingCopy(files, testing::Service::Copy, 1, ENOSPC);
  auto failed = errorOf<ExportFailure>([&] { exportRomSet(request(names), failingCopy); });
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->step(), "copying");
  EXPECT_EQ(failed->note(),
            "The destination was left as it was, but for what an interrupted export left: " +
                index + ".simplekavo-old was put back as " + index + ", and " + index +
                ".simplekavo-new was removed.");
  EXPECT_EQ(readFile(index), earlierIndex);
  EXPECT_FALSE(files.exists(index + ".simplekavo-old"));

  // The earlier layout and its index are whole again, so a replace reuses
  // every copy.
  EXPECT_EQ(exportRomSet(request(names), files).reused, names.size());
  EXPECT_EQ(snapshot(destination), freshExport(names));
}

// On the file system of players' USB drives, which keeps times in steps of
// 2 s: copies made there are recognised as unchanged, and a changed source
// is not. Only the checks run here: the FUSE stand-in for FAT32 loses a
// renamed directory's contents, so the swap is tested on the local disk.
TEST_F(LayoutReplaceTest, OnFat32UnchangedCopiesAreRecognisedWithinTwoSeconds) {
  const std::string usb = root / "fat";
  testing::makeDirectories(usb);
  auto volume = testing::MountedVolume::fat32(usb, root / "fat.img", 64);
  if (!volume.mounted()) GTEST_SKIP() << volume.why();
  EXPECT_EQ(files.timeGranularity(usb), 2'000'000'000);
  Names names = games(0, 35);
  addRoms(names);
  // Times that FAT cannot keep as they are: odd seconds and fractions.
  for (std::size_t j = 0; j < names.size(); ++j) {
    const struct timespec times[2] = {{1'700'000'001 + static_cast<std::time_t>(j), 999'999'999},
                                      {1'700'000'001 + static_cast<std::time_t>(j), 999'999'999}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (source + "/" + names[j]).c_str(), times, 0), 0);
  }
  exportRomSet(request(names, false, usb), files);
  setModified(source + "/Game 007.sms", 1'700'000'100);

  ExportRequest replace = request(names, true, usb);
  const ExportPlan plan = checkBeforeWriting(replace, files);
  EXPECT_TRUE(plan.staged);
  EXPECT_EQ(plan.reusedCount, names.size() - 1);
  EXPECT_TRUE(plan.reused[7].empty());
  EXPECT_EQ(plan.reused[8], usb + "/ROMS0/8.SMS");
}

// A replace into a destination with no earlier layout is a plain export.
TEST_F(LayoutReplaceTest, WithNothingToReplaceItIsAPlainExport) {
  const Names names = games(0, 31);
  addRoms(names);
  const ExportSummary result = exportRomSet(request(names), files);
  EXPECT_EQ(result.reused, 0u);
  EXPECT_EQ(snapshot(destination), freshExport(names));
}

}  // namespace
}  // namespace kavo
