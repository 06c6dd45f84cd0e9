// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The POSIX file system: the conformance tests on the disk, and what only a
// real volume shows.
#include "platform/services/posix_file_system.h"

#include <gtest/gtest.h>

#include "platform/services/file_system_conformance.h"
#include "support/copy_file.h"
#include "support/disk_files.h"
#include "support/mounted_volume.h"

namespace kavo::testing {
namespace {

std::unique_ptr<TestFiles> onDisk() { return std::make_unique<DiskFiles>(); }

INSTANTIATE_TEST_SUITE_P(Posix, FileSystemConformance,
                         ::testing::Values(FilesPlace{"disk", &onDisk}));

class PosixFileSystemTest : public ::testing::Test {
 protected:
  TempDirectory dir;
  PosixFileSystem files;
};

// A FUSE file system keeps a file removed just after it was closed as
// ".fuse_hidden..." until it has seen the close, which the kernel tells it
// later (here about once in 300 times). Taking back a copy must leave
// nothing behind, or its folder cannot go.
TEST_F(PosixFileSystemTest, OnFuseARemovedFileIsGoneWhenTheRemovalReturns) {
  makeDirectories(dir / "usb");
  auto volume = MountedVolume::fat32(dir / "usb", dir / "fat.img", 64);
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
    ASSERT_EQ(snapshot(dir / "usb"), (std::map<std::string, std::string>{}));
  }
}

}  // namespace
}  // namespace kavo::testing
