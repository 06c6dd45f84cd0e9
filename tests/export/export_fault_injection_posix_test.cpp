// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The fault sweep (support/fault_sweep.h) on a real volume of the kind
// players' drives hold.
#include <gtest/gtest.h>

#include <iostream>

#include "support/disk_files.h"
#include "support/fault_sweep.h"
#include "support/mounted_volume.h"

namespace kavo::testing {
namespace {

// On the file system of players' USB drives, mounted from an image: an export
// over an earlier index completes exactly, and a failure at any point leaves
// the volume as it was. (The FUSE stand-in loses a renamed directory's
// contents; the export renames files only.)
TEST(ExportFaultInjectionOnFat32, EveryFailureLeavesTheVolumeAsItWas) {
  // Two groups; the services that change the volume (the looking ones do
  // the same on every file system, and the FUSE stand-in is slow).
  constexpr int kRomCount = 35;
  DiskFiles where;
  RomFolder folder(where, kRomCount);
  const Folder& scratch = where.root();
  makeDirectories(scratch / "usb");
  auto volume = MountedVolume::fat32(scratch / "usb", scratch / "fat.img", 64);
  if (!volume.mounted()) GTEST_SKIP() << volume.why();
  int run = 0;
  const int faultPoints =
      sweep(folder,
            [&] {
              // Each run in a directory of its own on the one volume.
              const std::string destination = scratch / ("usb/RUN" + std::to_string(++run));
              makeDirectories(destination);
              return destination;
            },
            {Service::Open, Service::Print, Service::Close, Service::MakeDirectory, Service::Copy,
             Service::Rename, Service::Remove, Service::Sync},
            {HostError::NoSpace});
  std::cout << "fault points injected on FAT32: " << faultPoints << "\n";
  // Every copy fails once, and the directories, the index and the flush
  // come on top.
  EXPECT_GT(faultPoints, kRomCount);
}

}  // namespace
}  // namespace kavo::testing
