// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the plan decides on a real volume of the kind players' drives hold.
#include <gtest/gtest.h>

#include "export/export_plan.h"
#include "export/rom_set_export.h"
#include "support/disk_files.h"
#include "support/export_fixture.h"
#include "support/mounted_volume.h"

namespace kavo::testing {
namespace {

class ExportPlanOnFat32 : public ExportFixture {
 protected:
  ExportPlanOnFat32() : ExportFixture(std::make_unique<DiskFiles>()) {}
};

// The FUSE stand-in for FAT32 loses a renamed folder's files. A refresh,
// which renames folders, is refused there before anything of it is
// written, saying what to do; the earlier layout stays whole.
TEST_F(ExportPlanOnFat32, ARefreshIsRefusedWhereRenamedFoldersLoseTheirFiles) {
  const std::string usb = root / "fat";
  makeDirectories(usb);
  auto volume = MountedVolume::fat32(usb, root / "fat.img", 64);
  if (!volume.mounted()) GTEST_SKIP() << volume.why();
  const Names names = games(0, 35);
  addRoms(names);
  exportRomSet(request(names, false, usb), files);
  const Tree before = snapshot(usb);
  const auto refused = failure(request(names, true, usb), files);
  ASSERT_TRUE(refused);
  EXPECT_TRUE(refused->refused());
  EXPECT_EQ(refused->path(), usb);
  EXPECT_EQ(refused->reason(),
            "Loses the files of a folder that is renamed (as the FUSE driver for FAT does), so a "
            "refresh here could lose your games");
  EXPECT_EQ(snapshot(usb), before);
}

}  // namespace
}  // namespace kavo::testing
