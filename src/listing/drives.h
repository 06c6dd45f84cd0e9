// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

namespace kavo {

// A mounted volume as the host reports it.
struct Volume {
  std::string mountPoint;
  std::string fileSystemType;
  std::string label;
};

// An entry of a drive list: the text it shows and the directory it opens.
struct Drive {
  std::string text;
  std::string mountPoint;
};

// The text a drive list shows for a volume: its mount point (on Windows a
// drive's letter), followed by its label in brackets when it has one
// ("/media/ana/USB [GAMES]", "e: [USBSTICK]").
std::string driveText(const std::string& mountPoint, const std::string& label);

// The drives a user can pick from the mounted volumes: those that hold a real
// file system, always "/" (on POSIX) and `currentVolume` (the mount point of the volume
// that holds the program's start directory; a tmpfs is kept only when it is that
// one), each mount point once, in mount-point order.
std::vector<Drive> selectDrives(const std::vector<Volume>& volumes,
                                const std::string& currentVolume);

// The index of the drive whose mount point holds `path` (the longest
// matching mount point), or -1 when none does.
int driveHolding(const std::vector<Drive>& drives, const std::string& path);

}  // namespace kavo
