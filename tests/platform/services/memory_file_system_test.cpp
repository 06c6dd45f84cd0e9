// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The memory file system most tests run on: the file services as the disk
// gives them (the conformance tests), a page cache apart from the medium,
// volumes with the facts a test gives them, and the drives that lie.
#include "support/memory_file_system.h"

#include <functional>

#include "platform/services/file_system_conformance.h"
#include "support/copy_file.h"
#include "support/error_of.h"

namespace kavo::testing {
namespace {

std::unique_ptr<TestFiles> inMemory() { return std::make_unique<MemoryFileSystem>(); }

INSTANTIATE_TEST_SUITE_P(Memory, FileSystemConformance,
                         ::testing::Values(FilesPlace{"memory", &inMemory}));

std::string fromMedium(FileSystem& files, const std::string& path) {
  return readAtMost(files, path, 1 << 20, Reading::FromMedium).value();
}

void write(FileSystem& files, const std::string& path, const std::string& bytes) {
  auto file = files.createNew(path);
  file->print(bytes);
  file->close();
}

// Written bytes stay in the page cache, which reads answer, until the volume
// is flushed; a fresh mount finds only what was.
TEST(MemoryFileSystem, WritesReachTheMediumWhenTheVolumeIsFlushed) {
  MemoryFileSystem files;
  const std::string usb = files.root() / "usb";
  files.mount(usb);
  write(files, usb + "/lost", "not flushed");
  EXPECT_EQ(fromMedium(files, usb + "/lost"), "not flushed") << "its pages cannot be dropped";
  files.replug(usb);
  EXPECT_EQ(files.readFile(usb + "/lost"), "");
  write(files, usb + "/kept", "flushed");
  files.watchVolume(usb)->sync();
  files.replug(usb);
  EXPECT_EQ(files.readFile(usb + "/kept"), "flushed");
  EXPECT_EQ(fromMedium(files, usb + "/kept"), "flushed");
}

// Each drive model, on a volume that claims 64 KiB, after two files of two
// blocks each, "a" and then "b", were written to it and flushed.
TEST(MemoryFileSystem, EachDriveDoesWhatItsModelSays) {
  const std::string a(8192, 'a'), b(8192, 'b');
  using Check = std::function<void(MemoryFileSystem & files, const std::string& usb)>;
  const struct {
    const char* what;
    Drive drive;
    Check check;
  } cases[] = {
      {"honest",
       {},
       [&](MemoryFileSystem& files, const std::string& usb) {
         EXPECT_EQ(fromMedium(files, usb + "/a"), a);
         EXPECT_EQ(fromMedium(files, usb + "/b"), b);
       }},
      {"counterfeit: stores two blocks, so b overwrote a",
       {.stores = 8192},
       [&](MemoryFileSystem& files, const std::string& usb) {
         EXPECT_EQ(files.readFile(usb + "/a"), a) << "the cache still holds what was written";
         EXPECT_EQ(fromMedium(files, usb + "/a"), b);
         files.replug(usb);
         EXPECT_EQ(files.readFile(usb + "/a"), b);
       }},
      {"lies about b once it was opened once",
       {.lieAbout = "b", .rightOpens = 1},
       [&](MemoryFileSystem& files, const std::string& usb) {
         EXPECT_EQ(fromMedium(files, usb + "/b"), b);
         EXPECT_EQ(fromMedium(files, usb + "/b"), static_cast<char>('b' ^ 0x5A) + b.substr(1));
         EXPECT_EQ(fromMedium(files, usb + "/a"), a);
       }},
      {"short reads",
       {.shortReads = 100},
       [&](MemoryFileSystem& files, const std::string& usb) {
         char buffer[8192];
         EXPECT_EQ(files.openForReading(usb + "/a", Reading::FromMedium)->read(buffer, 8192), 100u);
         EXPECT_EQ(fromMedium(files, usb + "/a"), a) << "a reader that asks again gets it all";
       }},
      {"failing sync",
       {.failSync = true},
       [&](MemoryFileSystem& files, const std::string& usb) {
         write(files, usb + "/c", "new");
         const auto error = errorOf([&] { files.watchVolume(usb)->sync(); });
         ASSERT_TRUE(error);
         EXPECT_EQ(error->message(), hostError(HostError::IoError, usb).message());
         EXPECT_TRUE(errorOf([&] { files.syncDirectory(usb); }));
         files.replug(usb);
         EXPECT_EQ(files.readFile(usb + "/c"), "");
       }},
      {"failing writes to c",
       {.failWritesTo = "c"},
       [&](MemoryFileSystem& files, const std::string& usb) {
         const auto error = errorOf([&] { write(files, usb + "/c", "new"); });
         ASSERT_TRUE(error);
         EXPECT_EQ(error->message(), hostError(HostError::IoError, usb + "/c").message());
         EXPECT_TRUE(errorOf([&] { copyFile(files, usb + "/a", usb + "/copy of a"); }));
       }},
      {"drops the last block of a file of 8 KiB or more",
       {.dropLastBlockFrom = 8192},
       [&](MemoryFileSystem& files, const std::string& usb) {
         EXPECT_EQ(fromMedium(files, usb + "/a"), a.substr(4096) + std::string(4096, '\0'));
       }},
      {"loses a renamed folder's files",
       {.losesRenamedFolders = true},
       [&](MemoryFileSystem& files, const std::string& usb) {
         files.makeDirectories(usb + "/ROMS0");
         files.rename(usb + "/a", usb + "/ROMS0/0.GG");
         files.rename(usb + "/ROMS0", usb + "/ROMS1");
         EXPECT_TRUE(files.listDirectory(usb + "/ROMS1").empty());
       }},
      {"numbers files as they are looked up",
       {.unstableIdentity = true},
       [&](MemoryFileSystem& files, const std::string& usb) {
         const FileStatus first = files.status(usb + "/a");
         EXPECT_EQ(files.status(usb + "/b").inode, first.inode + 1);
         EXPECT_EQ(first.changedSeconds, first.modifiedSeconds);
         files.move(usb + "/a", usb + "/c");  // the names swapped
         files.move(usb + "/b", usb + "/a");
         files.move(usb + "/c", usb + "/b");
         files.replug(usb);
         EXPECT_EQ(files.status(usb + "/a").inode, first.inode) << "though it is b now";
       }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MemoryFileSystem files;
    const std::string usb = files.root() / "usb";
    files.mount(usb, {true, 4096, 64 * 1024, 255, VolumeFormat::Fat}, c.drive);
    files.writeFile(usb + "/a", a);
    files.writeFile(usb + "/b", b);
    c.check(files, usb);
  }
}

// A volume is what the test made it: its facts, its space taken block by
// block (a write past the end fails as on a full disk, what fitted kept),
// and a device of its own, which a rename does not leave.
TEST(MemoryFileSystem, AVolumeHasTheFactsAndTheSpaceItWasGiven) {
  MemoryFileSystem files;
  const std::string usb = files.root() / "usb";
  files.mount(usb, {true, 512, 3 * 512, 11, VolumeFormat::ExFat});
  write(files, usb + "/one", std::string(600, '1'));
  const VolumeFacts facts = files.volume(usb);
  EXPECT_EQ(facts.format, VolumeFormat::ExFat);
  EXPECT_EQ(facts.nameLimit, 11u);
  EXPECT_EQ(facts.available, 512u) << "two blocks taken";
  const auto full = errorOf([&] { write(files, usb + "/two", std::string(600, '2')); });
  ASSERT_TRUE(full);
  EXPECT_EQ(full->message(), hostError(HostError::NoSpace, usb + "/two").message());
  EXPECT_EQ(files.readFile(usb + "/two"), std::string(512, '2'));
  EXPECT_EQ(files.volume(usb).available, 0u);
  EXPECT_NE(files.status(usb + "/one").device, files.status(files.root().path()).device);
  const auto moved = errorOf([&] { files.rename(usb + "/one", files.root() / "one"); });
  ASSERT_TRUE(moved);
  EXPECT_EQ(moved->reason(), "Invalid cross-device link");
  EXPECT_TRUE(files.removeFile(usb + "/two"));
  EXPECT_EQ(files.volume(usb).available, 512u);
}

}  // namespace
}  // namespace kavo::testing
