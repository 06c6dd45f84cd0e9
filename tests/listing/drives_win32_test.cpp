// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The drive list by Windows' rules: drive letters, each with its label
// ("e: [USBSTICK]"), in letter order; a path lies on the
// drive whatever the case of its letter or its separators.
#include <gtest/gtest.h>

#include "listing/drives.h"

namespace kavo {
namespace {

std::vector<std::string> textsOf(const std::vector<Drive>& drives) {
  std::vector<std::string> texts;
  for (const Drive& drive : drives) texts.push_back(drive.text);
  return texts;
}

TEST(WindowsDrives, LettersWithTheirLabelsInLetterOrder) {
  const std::vector<Volume> volumes = {
      {"Z:\\", "NTFS", ""},
      {"E:\\", "FAT32", "USBSTICK"},
      {"C:\\", "NTFS", "Windows"},
      {"C:\\mnt\\card\\", "exFAT", "CARD"},  // a volume mounted on a folder
      {"E:\\", "FAT32", "USBSTICK"},
  };
  EXPECT_EQ(
      textsOf(selectDrives(volumes, "Z:\\")),
      (std::vector<std::string>{"c: [Windows]", "C:\\mnt\\card\\ [CARD]", "e: [USBSTICK]", "z:"}));
  // The start folder's drive is there whatever is reported.
  const std::vector<Drive> alone = selectDrives({}, "D:\\");
  ASSERT_EQ(alone.size(), 1u);
  EXPECT_EQ(alone[0].text, "d:");
  EXPECT_EQ(alone[0].mountPoint, "D:\\");
}

TEST(WindowsDrives, TheLongestMountPointHoldsAPathInAnyCase) {
  const std::vector<Drive> drives = {
      {"c:", "C:\\"}, {"C:\\mnt\\card\\ [CARD]", "C:\\mnt\\card\\"}, {"e:", "E:\\"}};
  EXPECT_EQ(driveHolding(drives, "e:\\roms\\Sonic.sms"), 2);
  EXPECT_EQ(driveHolding(drives, "E:/roms"), 2);
  EXPECT_EQ(driveHolding(drives, "E:\\"), 2);
  EXPECT_EQ(driveHolding(drives, "C:\\MNT\\Card"), 1);
  EXPECT_EQ(driveHolding(drives, "c:\\mnt\\cardboard"), 0);
  EXPECT_EQ(driveHolding(drives, "Z:\\tmp"), -1);
  EXPECT_EQ(driveHolding(drives, "\\\\nas\\share"), -1);
}

}  // namespace
}  // namespace kavo
