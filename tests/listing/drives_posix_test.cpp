// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <gtest/gtest.h>

#include "listing/drives.h"

namespace kavo {
namespace {

std::vector<std::string> textsOf(const std::vector<Drive>& drives) {
  std::vector<std::string> texts;
  for (const Drive& drive : drives) texts.push_back(drive.text);
  return texts;
}

TEST(Drives, OffersRealVolumesInMountPointOrderWithTheirLabels) {
  const std::vector<Volume> volumes = {
      {"/proc", "proc", ""},
      {"/media/ana/USB", "vfat", "GAMES"},
      {"/", "ext4", ""},
      {"/run", "tmpfs", ""},
      {"/tmp", "tmpfs", ""},
      {"/home", "ext4", ""},
      {"/home", "ext4", ""},  // stacked on the same mount point
      {"/sys/fs/cgroup", "cgroup2", ""},
  };
  EXPECT_EQ(textsOf(selectDrives(volumes, "/tmp")),
            (std::vector<std::string>{"/", "/home", "/media/ana/USB [GAMES]", "/tmp"}));
  // "/" and the start directory's volume are there whatever is reported.
  EXPECT_EQ(textsOf(selectDrives({}, "/srv")), (std::vector<std::string>{"/", "/srv"}));
}

TEST(Drives, TheLongestMountPointHoldsAPath) {
  const std::vector<Drive> drives = {
      {"/", "/"}, {"/media/a", "/media/a"}, {"/media/ab", "/media/ab"}};
  EXPECT_EQ(driveHolding(drives, "/media/ab/x"), 2);
  EXPECT_EQ(driveHolding(drives, "/media/a"), 1);
  EXPECT_EQ(driveHolding(drives, "/media/abc"), 0);
  EXPECT_EQ(driveHolding({}, "/x"), -1);
}

}  // namespace
}  // namespace kavo
