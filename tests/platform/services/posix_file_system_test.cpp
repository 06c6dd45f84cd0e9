// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/posix_file_system.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <optional>
#include <random>
#include <thread>

#include "platform/services/run_time_error.h"
#include "support/error_of.h"
#include "support/mounted_volume.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::errorOf;
using testing::makeDirectories;
using testing::readFile;
using testing::TempDirectory;
using testing::writeFile;

std::string randomBytes(std::size_t size) {
  std::mt19937 generator(7);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator());
  return bytes;
}

class PosixFileSystemTest : public ::testing::Test {
 protected:
  TempDirectory dir;
  PosixFileSystem files;
};

TEST_F(PosixFileSystemTest, CopiesBytesExactlyToANewFileOnly) {
  const std::string contents[] = {"", "x", std::string("a\0b\r\n", 5),
                                  randomBytes(19 * 1024 * 1024 + 17)};
  for (const std::string& bytes : contents) {
    writeFile(dir / "from", bytes);
    copyFile(files, dir / "from", dir / "to");
    EXPECT_EQ(readFile(dir / "to"), bytes) << bytes.size() << " bytes";
    // Nothing that stands at the copy's path is replaced or written through.
    auto error = errorOf([&] { copyFile(files, dir / "from", dir / "to"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->reason(), "File exists");
    ASSERT_EQ(::unlink((dir / "to").c_str()), 0);
  }
  writeFile(dir / "target", "kept");
  ASSERT_EQ(::symlink("target", (dir / "link").c_str()), 0);
  EXPECT_TRUE(errorOf([&] { copyFile(files, dir / "from", dir / "link"); }));
  EXPECT_EQ(readFile(dir / "target"), "kept");
}

// A copy keeps its source's modification time, to the nanosecond where the
// volume keeps them, and a listing reports it.
TEST_F(PosixFileSystemTest, ACopyKeepsItsSourcesModificationTime) {
  for (std::size_t size : {std::size_t{3}, std::size_t{300 * 1024}}) {
    writeFile(dir / "old.sms", std::string(size, 'r'));
    const struct timespec times[2] = {{1'000'000'000, 0}, {1'234'567'890, 123'456'789}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "old.sms").c_str(), times, 0), 0);
    makeDirectories(dir / "out");
    copyFile(files, dir / "old.sms", dir / "out/0.SMS");
    const auto entries = files.listDirectory(dir / "out");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "0.SMS");
    EXPECT_EQ(entries[0].status.modifiedSeconds, 1'234'567'890);
    EXPECT_EQ(entries[0].status.modifiedNanoseconds, 123'456'789u);
    EXPECT_EQ(files.status(dir / "out/0.SMS").modifiedSeconds, 1'234'567'890) << size;
    std::filesystem::remove_all(dir / "out");
  }
}

// A source cut short, grown or rewritten while it is read leaves a copy
// that is neither its old bytes nor its new: the copy fails. Here another
// writer appends to it all the while; a copy that ended before the writer
// came is tried again with a larger file.
TEST_F(PosixFileSystemTest, ASourceThatChangesWhileItIsCopiedFailsTheCopy) {
  std::optional<RunTimeError> error;
  for (std::size_t size = 8 << 20; !error && size <= (128u << 20); size *= 4) {
    writeFile(dir / "growing.sms", std::string(size, 'g'));
    std::atomic<bool> copying = true;
    std::thread writer([&] {
      const int fd = ::open((dir / "growing.sms").c_str(), O_WRONLY | O_APPEND);
      while (copying) ASSERT_EQ(::write(fd, "x", 1), 1);
      ::close(fd);
    });
    try {
      copyFile(files, dir / "growing.sms", dir / "copy");
    } catch (const RunTimeError& raised) {
      error = raised;
    }
    copying = false;
    writer.join();
    std::filesystem::remove(dir / "copy");
  }
  ASSERT_TRUE(error) << "the writer never came while a copy ran";
  EXPECT_EQ(error->path(), dir / "growing.sms");
  EXPECT_EQ(error->reason(), "Changed while it was copied");
}

TEST_F(PosixFileSystemTest, CopiesThroughASymlinkToARegularFile) {
  writeFile(dir / "real.sms", "rom");
  ASSERT_EQ(::symlink("real.sms", (dir / "link.sms").c_str()), 0);
  copyFile(files, dir / "link.sms", dir / "copy");
  EXPECT_EQ(readFile(dir / "copy"), "rom");
  EXPECT_EQ(files.openForReading(dir / "link.sms")->status().size, 3u);
}

TEST_F(PosixFileSystemTest, RefusesSourcesThatAreNotRegularFilesWithoutReading) {
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  ::mkdir((dir / "folder").c_str(), 0700);
  ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
  struct Case {
    std::string source;
    ErrorNumber number;
    std::string reason;
  };
  const Case cases[] = {
      {dir / "fifo", ErrorNumber::PathFileAccessError, "Not a regular file"},
      {dir / "folder", ErrorNumber::PathFileAccessError, "Not a regular file"},
      {"/dev/zero", ErrorNumber::PathFileAccessError, "Not a regular file"},
      {dir / "missing", ErrorNumber::FileNotFound, "No such file or directory"},
      {dir / "dangling", ErrorNumber::FileNotFound, "No such file or directory"},
  };
  for (const Case& c : cases) {
    for (bool copy : {false, true}) {
      auto error = errorOf([&] {
        copy ? copyFile(files, c.source, dir / "copy") : (void)files.openForReading(c.source);
      });
      ASSERT_TRUE(error);
      EXPECT_EQ(error->number(), c.number) << c.source;
      EXPECT_EQ(error->path(), c.source);
      EXPECT_EQ(error->reason(), c.reason);
      EXPECT_FALSE(exists(files, dir / "copy")) << c.source;
    }
  }
}

TEST_F(PosixFileSystemTest, ANewFileIsNeverOneThatWasThere) {
  auto index = files.createNew(dir / "FILES.TXT.new");
  index->print("a,ROMS0\\0.a\n");
  index->print(std::string("\0\xff", 2));
  index->close();
  EXPECT_EQ(readFile(dir / "FILES.TXT.new"), std::string("a,ROMS0\\0.a\n\0\xff", 14));

  ::mkdir((dir / "FOLDER").c_str(), 0700);
  ASSERT_EQ(::symlink("/dev/null", (dir / "link").c_str()), 0);
  struct Case {
    std::string path;
    ErrorNumber number;
    std::string reason;
  };
  const Case cases[] = {
      {dir / "FILES.TXT.new", ErrorNumber::FileAlreadyExists, "File exists"},
      {dir / "link", ErrorNumber::FileAlreadyExists, "File exists"},
      {dir / "FOLDER", ErrorNumber::FileAlreadyExists, "File exists"},
      {dir / "missing/FILES.TXT", ErrorNumber::PathNotFound, "No such file or directory"},
  };
  for (const Case& c : cases) {
    auto error = errorOf([&] { files.createNew(c.path); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), c.number) << c.path;
    EXPECT_EQ(error->path(), c.path);
    EXPECT_EQ(error->reason(), c.reason) << c.path;
  }
  EXPECT_EQ(readFile(dir / "FILES.TXT.new").size(), 14u);
}

TEST_F(PosixFileSystemTest, RenameReplacesTheEntryNeverWhatALinkPointsTo) {
  writeFile(dir / "source.sms", "the user's ROM");
  ASSERT_EQ(::symlink("source.sms", (dir / "FILES.TXT").c_str()), 0);
  writeFile(dir / "new", "the new index");
  files.rename(dir / "new", dir / "FILES.TXT");
  EXPECT_EQ(readFile(dir / "FILES.TXT"), "the new index");
  EXPECT_EQ(files.status(dir / "FILES.TXT").type, FileType::Regular);
  EXPECT_EQ(readFile(dir / "source.sms"), "the user's ROM");

  EXPECT_TRUE(files.removeFile(dir / "FILES.TXT"));
  EXPECT_FALSE(files.removeFile(dir / "FILES.TXT"));
  files.makeDirectory(dir / "ROMS0");
  files.removeDirectory(dir / "ROMS0");
  EXPECT_FALSE(exists(files, dir / "ROMS0"));
}

TEST_F(PosixFileSystemTest, DirectoriesAreMadeOnceAndChecked) {
  files.makeDirectory(dir / "ROMS0");
  const FileStatus made = files.status(dir / "ROMS0", Look::Access);
  EXPECT_EQ(made.type, FileType::Directory);
  EXPECT_FALSE(made.accessDenied);

  auto twice = errorOf([&] { files.makeDirectory(dir / "ROMS0"); });
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->number(), ErrorNumber::PathFileAccessError);
  EXPECT_EQ(twice->reason(), "File exists");

  auto orphan = errorOf([&] { files.makeDirectory(dir / "none/ROMS0"); });
  ASSERT_TRUE(orphan);
  EXPECT_EQ(orphan->number(), ErrorNumber::PathNotFound);
  EXPECT_EQ(orphan->path(), dir / "none/ROMS0");

  writeFile(dir / "plain", "");
  auto notDirectory = errorOf([&] { files.status(dir / "plain/ROMS0"); });
  ASSERT_TRUE(notDirectory);
  EXPECT_EQ(notDirectory->number(), ErrorNumber::PathNotFound);
  EXPECT_EQ(notDirectory->reason(), "Not a directory");

  // Anything at a name counts, a dangling link too, since mkdir would fail.
  ASSERT_EQ(::symlink("nowhere", (dir / "ROMS1").c_str()), 0);
  EXPECT_EQ(files.status(dir / "ROMS1").type, FileType::SymbolicLink);
  EXPECT_EQ(files.status(dir / "ROMS2").type, FileType::Missing);
  EXPECT_EQ(files.status(dir / "plain").type, FileType::Regular);
  EXPECT_EQ(files.status(dir / "plain").links, 1u);
  EXPECT_EQ(files.status("/dev/null").type, FileType::Other);
}

TEST_F(PosixFileSystemTest, ADirectoryIsClaimedByOneHolderAtATime) {
  auto first = files.lockDirectory(dir.path());
  auto refused = errorOf([&] { files.lockDirectory(dir.path()); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->path(), dir.path());
  EXPECT_EQ(refused->reason(), "Another export is writing to this folder");
  first.reset();
  EXPECT_NE(files.lockDirectory(dir.path()), nullptr);
}

// A FUSE file system keeps a file removed just after it was closed as
// ".fuse_hidden..." until it has seen the close, which the kernel tells it
// later (here about once in 300 times). Taking back a copy must leave
// nothing behind, or its folder cannot go.
TEST_F(PosixFileSystemTest, OnFuseARemovedFileIsGoneWhenTheRemovalReturns) {
  testing::makeDirectories(dir / "usb");
  auto volume = testing::MountedVolume::fat32(dir / "usb", dir / "fat.img", 64);
  if (!volume.mounted()) GTEST_SKIP() << volume.why();
  // It says what it stands for in the mount table only.
  EXPECT_EQ(files.volume(dir / "usb").format, VolumeFormat::Fat);
  EXPECT_EQ(files.volume(dir.path()).format, VolumeFormat::Other);
  writeFile(dir / "rom", std::string(100, 'r'));
  const std::string group = dir / "usb/ROMS0", index = dir / "usb/FILES.TXT.new";
  for (int i = 0; i < 1000; ++i) {
    SCOPED_TRACE("round " + std::to_string(i));
    files.makeDirectory(group);
    copyFile(files, dir / "rom", group + "/0.SMS");
    EXPECT_TRUE(files.removeFile(group + "/0.SMS"));
    files.removeDirectory(group);  // fails while anything is left in it
    files.createNew(index)->close();
    EXPECT_TRUE(files.removeFile(index));
    ASSERT_EQ(testing::snapshot(dir / "usb"), (std::map<std::string, std::string>{}));
  }
}

TEST_F(PosixFileSystemTest, WatchingAVolumeNeedsItsDirectory) {
  auto error = errorOf([&] { files.watchVolume(dir / "none"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::PathNotFound);
  EXPECT_EQ(error->path(), dir / "none");
  auto volume = files.watchVolume(dir.path());
  volume->sync();
  files.syncDirectory(dir.path());
}

}  // namespace
}  // namespace kavo
