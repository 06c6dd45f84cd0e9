// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the checks before writing refuse on real volumes (FAT32 through FUSE,
// a small tmpfs) and with the host's own devices.
#include <gtest/gtest.h>
#include <sys/statvfs.h>

#include <filesystem>

#include "export/export_checks.h"
#include "export/manifest.h"
#include "export/rom_set_export.h"
#include "platform/services/posix_file_system.h"
#include "support/disk_files.h"
#include "support/error_of.h"
#include "support/export_fixture.h"
#include "support/fault_injecting_file_system.h"
#include "support/mounted_volume.h"

namespace kavo::testing {
namespace {

class ExportChecksOnDisk : public ExportFixture {
 protected:
  ExportChecksOnDisk() : ExportFixture(std::make_unique<DiskFiles>()) {}
};

// The index as a link to a device is refused as any link is, and nothing
// is written through it.
TEST_F(ExportChecksOnDisk, AnIndexLinkedToADeviceIsRefusedUntouched) {
  addRoms({"Alpha.sms"});
  where->makeLink("/dev/null", destination + "/FILES.TXT");
  const Tree before = snapshot(root.path());
  const auto error = failure(request({"Alpha.sms"}), files);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::PathFileAccessError);
  EXPECT_EQ(error->path(), destination + "/FILES.TXT");
  EXPECT_EQ(error->reason(), "Is a symbolic link");
  EXPECT_TRUE(error->refused());
  EXPECT_EQ(snapshot(root.path()), before);
}

// On the file system of players' drives: a copy name with a character FAT
// does not take, or a file too large for FAT32, is refused before writing;
// and since the FUSE stand-in does not tell its free space, the export says
// it could not be checked.
TEST(ExportChecksOnFat32, WhatFatCannotHoldIsRefusedBeforeWriting) {
  DiskFiles where;
  const Folder& root = where.root();
  makeDirectories(root / "roms");
  makeDirectories(root / "usb");
  auto volume = MountedVolume::fat32(root / "usb", root / "fat.img", 64);
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
  FileSystem& files = where.files();
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
  FaultInjectingFileSystem failingRead(files, FileCall::ReadBack, 2, HostError::IoError);
  const auto error = errorOf<ExportFailure>([&] { exportRomSet(alpha, failingRead); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->step(), "verifying");
  EXPECT_EQ(snapshot(root / "usb"), before);
  const ExportSummary done = exportRomSet(alpha, files);
  EXPECT_EQ(done.spaceUnchecked, std::vector<std::string>{root / "usb"});
  EXPECT_EQ(layoutSnapshot(where, root / "usb")[kManifestName],
            rightManifest({{"ROMS0/0.SMS", 3}}));
}

// On a real small disk: an export needing one block more than is free is
// refused before it writes, and one with a little room to spare completes.
TEST(ExportChecksOnAFullDisk, ShortByOneBlockIsRefusedAndARealTmpfsAgrees) {
  TempDirectory root;
  makeDirectories(root / "roms");
  makeDirectories(root / "measure");
  makeDirectories(root / "usb");
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
    auto volume = MountedVolume::tmpfs(root / "measure", size);
    if (!volume.mounted()) GTEST_SKIP() << volume.why();
    const std::uint64_t before = freeBytes(root / "measure");
    exportTo(root / "measure");
    used = before - freeBytes(root / "measure");
  }
  ASSERT_GT(used, 0u);

  for (std::uint64_t room : {used - 4096, used + 4 * 4096}) {
    SCOPED_TRACE(std::to_string(room) + " bytes free, " + std::to_string(used) + " used");
    auto volume = MountedVolume::tmpfs(root / "usb", size);
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

}  // namespace
}  // namespace kavo::testing
