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

// On the file system of players' USB drives, which keeps times in steps of
// 2 s: copies made there are recognised as unchanged by the manifest, and a
// source with other bytes of the same size and time is not. Only the plan
// is made here: the FUSE stand-in for FAT32 loses a renamed directory's
// contents, so the swap is tested on the local disk.
TEST_F(ExportPlanOnFat32, UnchangedCopiesAreRecognisedByTheManifest) {
  const std::string usb = root / "fat";
  makeDirectories(usb);
  auto volume = MountedVolume::fat32(usb, root / "fat.img", 64);
  if (!volume.mounted()) GTEST_SKIP() << volume.why();
  const Names names = games(0, 35);
  addRoms(names);
  // Times that FAT cannot keep as they are: odd seconds and fractions.
  for (std::size_t j = 0; j < names.size(); ++j)
    where->setModified(source + "/" + names[j], 1'700'000'001 + j, 999'999'999);
  exportRomSet(request(names, false, usb), files);
  writeFile(source + "/Game 007.sms", "ROM:" + romBytes("Game 007.sms").substr(4));
  where->setModified(source + "/Game 007.sms", 1'700'000'008, 999'999'999);

  const ExportRequest replace = request(names, true, usb);
  DirectoryClaims claims;
  const ExportPlan plan = planExport(replace, files, claims);
  EXPECT_TRUE(plan.staged);
  EXPECT_EQ(plan.reused, names.size() - 1);
  EXPECT_TRUE(plan.copies[7].reusedFrom.empty());
  EXPECT_EQ(plan.copies[8].reusedFrom, usb + "/ROMS0/8.SMS");
}

}  // namespace
}  // namespace kavo::testing
