#include "export/rom_set_export.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <thread>

#include "export/rom_layout.h"
#include "platform/services/forwarding_file_system.h"
#include "platform/services/posix_file_system.h"
#include "platform/services/run_time_error.h"
#include "support/error_of.h"
#include "support/mounted_volume.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::errorOf;
using testing::readFile;
using testing::snapshot;
using testing::TempDirectory;
using testing::writeFile;
using Tree = std::map<std::string, std::string>;

// The bytes of a ROM file, different for every name.
std::string romBytes(const std::string& name) { return "rom:" + name + std::string(100, '\x01'); }

// Every occurrence of "ROOT" replaced by the root's path.
std::string expand(std::string text, const std::string& root) {
  for (std::size_t at; (at = text.find("ROOT")) != std::string::npos;) text.replace(at, 4, root);
  return text;
}

class RomSetExportTest : public ::testing::Test {
 protected:
  RomSetExportTest() {
    testing::makeDirectories(source);
    testing::makeDirectories(destination);
  }

  void addRoms(const std::vector<std::string>& names) {
    for (const std::string& name : names) writeFile(source + "/" + name, romBytes(name));
  }

  ExportRequest request(std::vector<std::string> names, std::string indexPath = {}) const {
    return ExportRequest{destination, source, std::move(names),
                         indexPath.empty() ? defaultAnswer() : std::move(indexPath)};
  }

  ExportSummary run(const std::vector<std::string>& names, std::string indexPath) {
    return exportRomSet(request(names, std::move(indexPath)), files);
  }

  std::optional<ExportFailure> failingRun(FileSystem& through,
                                          const std::vector<std::string>& names) {
    return errorOf<ExportFailure>([&] { exportRomSet(request(names), through); });
  }

  std::string defaultAnswer() const { return destination + "/FILES.TXT"; }

  TempDirectory root;
  const std::string source = root / "roms";
  const std::string destination = root / "usb";
  PosixFileSystem files;
};

TEST_F(RomSetExportTest, WorkedExampleEndToEnd) {
  addRoms({"Alpha.sms", "Beta Game.gg"});
  const ExportSummary result = run({"Alpha.sms", "Beta Game.gg"}, defaultAnswer());
  EXPECT_EQ(result.indexPath, destination + "/FILES.TXT");
  EXPECT_EQ(result.files, 2u);
  EXPECT_EQ(result.groups, 1u);
  EXPECT_EQ(result.bytes, romBytes("Alpha.sms").size() + romBytes("Beta Game.gg").size());

  const std::string index = "Alpha.sms,ROMS0\\0.sms\nBeta Game.gg,ROMS0\\1.gg\n  ";
  EXPECT_EQ(index.size(), 48u);
  EXPECT_EQ(snapshot(destination), (Tree{{"FILES.TXT", index},
                                         {"ROMS0", "<dir>"},
                                         {"ROMS0/0.SMS", romBytes("Alpha.sms")},
                                         {"ROMS0/1.GG", romBytes("Beta Game.gg")}}));
}

TEST_F(RomSetExportTest, AnEarlierIndexIsReplacedWholeAndNothingIsLeftBeside) {
  addRoms({"Alpha.sms"});
  writeFile(destination + "/FILES.TXT", "an earlier index, longer than the new one will be");
  writeFile(destination + "/notes.txt", "the user's own");
  ASSERT_EQ(run({"Alpha.sms"}, defaultAnswer()).files, 1u);
  EXPECT_EQ(snapshot(destination),
            (Tree{{"FILES.TXT", "Alpha.sms,ROMS0\\0.sms\n" + std::string(10, ' ')},
                  {"notes.txt", "the user's own"},
                  {"ROMS0", "<dir>"},
                  {"ROMS0/0.SMS", romBytes("Alpha.sms")}}));
}

TEST_F(RomSetExportTest, GroupsOfThirtyWithALastEmptyGroupOnMultiples) {
  struct Case {
    std::size_t count;
    std::vector<std::size_t> filesPerGroup;
  };
  const Case cases[] = {{0, {0}}, {30, {30, 0}}, {31, {30, 1}}, {60, {30, 30, 0}}};
  for (const Case& c : cases) {
    TempDirectory scratch;
    ExportRequest job{scratch / "out", source, {}, scratch / "out/FILES.TXT"};
    testing::makeDirectories(job.destination);
    std::string expectedRecords;
    for (std::size_t j = 0; j < c.count; ++j) {
      std::string name = "Game " + std::to_string(j) + ".sms";
      job.names.push_back(name);
      expectedRecords += layout::record(name, j);
    }
    addRoms(job.names);
    ASSERT_EQ(exportRomSet(job, files).groups, c.filesPerGroup.size());

    Tree tree = snapshot(job.destination);
    std::vector<std::size_t> filesPerGroup;
    for (std::size_t group = 0; tree.count("ROMS" + std::to_string(group)); ++group) {
      std::size_t files = 0;
      for (std::size_t j = 0; j < c.count; ++j) {
        std::string copy = "ROMS" + std::to_string(group) + "/" + std::to_string(j) + ".SMS";
        if (tree.count(copy)) {
          ++files;
          EXPECT_EQ(tree[copy], romBytes(job.names[j]));
          EXPECT_EQ(group, j / 30);
        }
      }
      filesPerGroup.push_back(files);
    }
    EXPECT_EQ(filesPerGroup, c.filesPerGroup) << c.count << " names";
    EXPECT_EQ(tree.size(), 1 + c.filesPerGroup.size() + c.count) << "nothing else is made";
    std::string padding(layout::paddingLength(expectedRecords.size()), ' ');
    EXPECT_EQ(tree["FILES.TXT"], expectedRecords + padding);
  }
}

// Records the copies instead of making them, and answers for sources that
// are not there: forty thousand real copies would time the disk rather than
// test the count.
class RecordingCopies final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::vector<std::pair<std::string, std::string>> copies;
  FileStatus inspectSource(const std::string&) override {
    FileStatus status;
    status.type = FileType::Regular;
    status.inode = ++inodes_;
    status.size = 1000;
    return status;
  }
  void copyInto(const std::string& from, const OpenDirectory& into,
                const std::string& name) override {
    std::lock_guard lock(mutex_);
    copies.emplace_back(from, into.path() + "/" + name);
  }

 private:
  std::atomic<std::uint64_t> inodes_ = 0;
  std::mutex mutex_;
};

TEST_F(RomSetExportTest, FortyThousandNamesAreAllExported) {
  std::vector<std::string> names;
  for (int j = 0; j < 40'000; ++j) names.push_back("Game " + std::to_string(j) + ".gg");
  RecordingCopies recording(files);
  const ExportSummary result = exportRomSet(request(names), recording);
  EXPECT_EQ(result.files, 40'000u);
  EXPECT_EQ(result.bytes, 40'000'000u);

  ASSERT_EQ(recording.copies.size(), 40'000u);
  // Copies run side by side, so they may finish in any order.
  std::sort(recording.copies.begin(), recording.copies.end());
  EXPECT_TRUE(std::binary_search(
      recording.copies.begin(), recording.copies.end(),
      std::make_pair(source + "/Game 39999.gg", destination + "/ROMS1333/39999.GG")));
  EXPECT_EQ(std::unique(recording.copies.begin(), recording.copies.end()), recording.copies.end());
  std::string index = readFile(destination + "/FILES.TXT");
  EXPECT_EQ(std::count(index.begin(), index.end(), '\n'), 40'000);
  EXPECT_NE(index.find("\nGame 39999.gg,ROMS1333\\39999.gg\n"), std::string::npos);
  EXPECT_EQ(index.size() % 16, 0u);
  EXPECT_TRUE(files.exists(destination + "/ROMS1333"));
  EXPECT_FALSE(files.exists(destination + "/ROMS1334"));
}

TEST_F(RomSetExportTest, NamesAreBytesOnDiskAndWindows1252InTheIndex) {
  const std::vector<std::string> names = {"Caf\u00e9.sms", "\xff\xfe.gg", "README"};
  addRoms(names);
  ASSERT_EQ(run(names, defaultAnswer()).files, 3u);
  EXPECT_EQ(readFile(destination + "/ROMS0/0.SMS"), romBytes(names[0]));
  EXPECT_EQ(readFile(destination + "/ROMS0/1.GG"), romBytes(names[1]));
  EXPECT_EQ(readFile(destination + "/ROMS0/2README"), romBytes(names[2]));
  EXPECT_EQ(readFile(destination + "/FILES.TXT"),
            "Caf\xe9.sms,ROMS0\\0.sms\n\xff\xfe.gg,ROMS0\\1.gg\nREADME,ROMS0\\2README\n"
            "     ");  // 59 bytes of records, 5 spaces
}

TEST(ProposedIndexPath, IsFilesTxtInTheDestinationWithADoubledSlashAtARoot) {
  EXPECT_EQ(proposedIndexPath("/media/usb"), "/media/usb/FILES.TXT");
  EXPECT_EQ(proposedIndexPath("/"), "//FILES.TXT");
}

TEST_F(RomSetExportTest, TheAnswersFileNameIsUpperCasedItsDirectoryKept) {
  addRoms({"Alpha.sms"});
  testing::makeDirectories(root / "Index Here");
  ASSERT_EQ(run({"Alpha.sms"}, root / "Index Here/files.txt").indexPath,
            root / "Index Here/FILES.TXT");
  EXPECT_EQ(snapshot(root / "Index Here"),
            (Tree{{"FILES.TXT", "Alpha.sms,ROMS0\\0.sms\n" + std::string(10, ' ')}}));
  EXPECT_FALSE(files.exists(destination + "/FILES.TXT"));
}

// Each case is refused before anything is written: nothing under the root
// (sources, destination, earlier indexes) changes. "ROOT" in a text stands
// for the folder holding "roms" and "usb".
TEST(RomSetExportRefusal, RefusedBeforeWritingLeavesEverythingAsItWas) {
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
TEST(RomSetExportOnFat32, WhatFatCannotHoldIsRefusedBeforeWriting) {
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
  const ExportSummary done =
      exportRomSet({root / "usb", root / "roms", {"Alpha.sms"}, root / "usb/FILES.TXT"}, files);
  EXPECT_EQ(done.spaceUnchecked, std::vector<std::string>{root / "usb"});
}

// A source folder deep enough that a file in it has a path longer than the
// host takes: refused before writing, not when its turn comes.
TEST_F(RomSetExportTest, ASourcePathLongerThanTheHostTakesIsRefused) {
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
  auto error = errorOf<ExportFailure>([&] {
    exportRomSet(ExportRequest{destination, deep, {name}, defaultAnswer()}, files);
  });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::BadFileName);
  EXPECT_EQ(error->path(), deep + "/" + name);
  EXPECT_EQ(error->reason(), "File name too long");
  EXPECT_TRUE(error->refused());
  EXPECT_EQ(snapshot(destination), before);
}

TEST_F(RomSetExportTest, AnotherExportWritingToTheDestinationIsRefused) {
  addRoms({"Alpha.sms"});
  PosixFileSystem other;
  auto held = other.lockDirectory(destination);  // as a second export would
  const Tree before = snapshot(root.path());
  auto error = errorOf<ExportFailure>([&] { run({"Alpha.sms"}, defaultAnswer()); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->path(), destination);
  EXPECT_EQ(error->reason(), "Another export is writing to this folder");
  EXPECT_EQ(error->step(), "checking the destination");
  EXPECT_EQ(snapshot(root.path()), before);

  held.reset();  // that export ended
  EXPECT_EQ(run({"Alpha.sms"}, defaultAnswer()).files, 1u);
}

// A volume with the free space the test chooses.
class VolumeWithRoom final : public ForwardingFileSystem {
 public:
  VolumeWithRoom(FileSystem& target, std::uint64_t available)
      : ForwardingFileSystem(target), available_(available) {}
  VolumeSpace volumeSpace(const std::string&) override { return {true, 4096, available_}; }

 private:
  std::uint64_t available_;
};

TEST_F(RomSetExportTest, TooLittleFreeSpaceIsRefusedWithWhatIsNeededAndFree) {
  // Three copies of three blocks each, one group directory and an index of
  // one block: 11 blocks.
  const std::vector<std::string> names = {"A.sms", "B.sms", "C.sms"};
  for (const std::string& name : names) writeFile(source + "/" + name, std::string(9000, 'r'));
  const Tree before = snapshot(root.path());

  VolumeWithRoom short_(files, 11 * 4096 - 1);
  auto error = failingRun(short_, names);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::DiskFull);
  EXPECT_EQ(error->path(), destination);
  EXPECT_EQ(error->reason(), "Needs 45,056 bytes (44.0 KiB); 45,055 bytes (44.0 KiB) free");
  EXPECT_EQ(error->step(), "checking free space");
  EXPECT_TRUE(error->refused());
  EXPECT_EQ(snapshot(root.path()), before);

  VolumeWithRoom enough(files, 11 * 4096);
  EXPECT_EQ(exportRomSet(request(names), enough).files, 3u);
}

// On a real small disk: an export needing one block more than is free is
// refused before it writes, and one with a little room to spare completes.
TEST(RomSetExportOnAFullDisk, ShortByOneBlockIsRefusedAndARealTmpfsAgrees) {
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
      EXPECT_EQ(snapshot(root / "usb").size(), before.size() + names.size() + 2);
    }
  }
}

// Fails the copies of list index `good` on, and, when the drive is
// "pulled", every removal as well. Pulled, it runs one copy at a time, so
// that the copies it fails to take back are known.
class FailingCopies final : public ForwardingFileSystem {
 public:
  FailingCopies(FileSystem& target, int good, bool pulled)
      : ForwardingFileSystem(target), good_(good), pulled_(pulled) {}
  void copyInto(const std::string& from, const OpenDirectory& into,
                const std::string& name) override {
    if (std::stoi(name) >= good_) throw errorFromErrno(ENOSPC, into.path() + "/" + name);
    target_.copyInto(from, into, name);
  }
  std::size_t copiesAtOnce() const override { return pulled_ ? 1 : target_.copiesAtOnce(); }
  bool removeFile(const std::string& path) override {
    if (pulled_) throw errorFromErrno(EIO, path);
    return target_.removeFile(path);
  }
  void removeDirectory(const std::string& path) override {
    if (pulled_) throw errorFromErrno(EIO, path);
    target_.removeDirectory(path);
  }

 private:
  int good_;
  bool pulled_;
};

TEST_F(RomSetExportTest, AFailurePartWayTakesBackWhatItMadeOrNamesWhatItCouldNot) {
  std::vector<std::string> names;
  for (int i = 0; i < 40; ++i) names.push_back("Game " + std::to_string(i) + ".gg");
  addRoms(names);
  writeFile(destination + "/FILES.TXT", "an earlier index");
  const Tree before = snapshot(root.path());

  FailingCopies full(files, 35, /*pulled=*/false);
  auto error = failingRun(full, names);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::DiskFull);
  EXPECT_EQ(error->path(), destination + "/ROMS1/35.GG");
  EXPECT_EQ(error->step(), "copying");
  EXPECT_FALSE(error->refused());
  EXPECT_EQ(error->note(), "The destination was left as it was.");
  EXPECT_EQ(error->message(), "Run-time error '61':\n\nDisk full\n\n" + destination +
                                  "/ROMS1/35.GG: No space left on device\n\n"
                                  "The destination was left as it was.");
  EXPECT_EQ(snapshot(root.path()), before);

  // The drive went away: what is still there is named, the last made first.
  // The next group's directory may have been made while the copies ran;
  // copies never started are not named.
  FailingCopies pulled(files, 2, /*pulled=*/true);
  error = failingRun(pulled, names);
  ASSERT_TRUE(error);
  std::string note = error->note();
  const std::string nextGroup = destination + "/ROMS1 (Input/output error)\n";
  const std::string heading = "Not everything this export made could be taken back:\n";
  if (note.rfind(heading + nextGroup, 0) == 0) note.erase(heading.size(), nextGroup.size());
  EXPECT_EQ(note, heading + destination + "/ROMS0/2.GG (Input/output error)\n" + destination +
                      "/ROMS0/1.GG (Input/output error)\n" + destination +
                      "/ROMS0/0.GG (Input/output error)\n" + destination +
                      "/ROMS0 (Input/output error)\n" + destination +
                      "/FILES.TXT.simplekavo-new (Input/output error)");
  EXPECT_EQ(readFile(destination + "/FILES.TXT"), "an earlier index");
}

// Looks at the sources slowly, on several threads, and counts the looks
// still running.
class SlowLooks final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::atomic<int> running = 0;
  FileStatus inspectSource(const std::string& path) override {
    ++running;
    std::this_thread::sleep_for(std::chrono::milliseconds(path.ends_with("FILES.TXT") ? 0 : 5));
    FileStatus status = target_.inspectSource(path);
    --running;
    return status;
  }
};

// The first source is the index itself, refused while the looks at the
// others are still running: the refusal waits for them, since they write
// into what the checks own (a sanitizer build sees any write after it).
TEST_F(RomSetExportTest, ARefusalAmongTheSourcesWaitsForTheLooksInFlight) {
  std::vector<std::string> names = {"FILES.TXT"};
  for (int i = 0; i < 40; ++i) names.push_back("Game " + std::to_string(i) + ".gg");
  addRoms(names);
  SlowLooks slow(files);
  auto error =
      errorOf<ExportFailure>([&] { exportRomSet(request(names, source + "/FILES.TXT"), slow); });
  EXPECT_EQ(slow.running, 0);
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->refused());
  EXPECT_EQ(error->reason(), "Is one of the files to export");
}

// Fails the flush of every volume it watches, once.
class FailingFlush final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  int failed = 0;
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override {
    struct Failing final : VolumeSync {
      FailingFlush* owner;
      std::unique_ptr<VolumeSync> real;
      std::string directory;
      void sync() override {
        if (owner->failed++ == 0) throw errorFromErrno(EIO, directory, PathRole::Directory);
        real->sync();
      }
    };
    auto failing = std::make_unique<Failing>();
    failing->owner = this;
    failing->real = target_.watchVolume(directory);
    failing->directory = directory;
    return failing;
  }
};

TEST_F(RomSetExportTest, AFailedFlushIsAnErrorAndTakesEverythingBack) {
  addRoms({"Alpha.sms"});
  writeFile(destination + "/FILES.TXT", "an earlier index");
  const Tree before = snapshot(root.path());
  FailingFlush failing(files);
  auto error = failingRun(failing, {"Alpha.sms"});
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::DeviceIoError);
  EXPECT_EQ(error->path(), destination);
  EXPECT_EQ(error->step(), "writing to the drive");
  EXPECT_EQ(error->note(), "The destination was left as it was.");
  EXPECT_EQ(snapshot(root.path()), before);
}

}  // namespace
}  // namespace kavo
