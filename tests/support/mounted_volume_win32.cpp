// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/mounted_volume.h"

namespace kavo::testing {

// Windows mounts neither a tmpfs nor an image through FUSE: every volume
// says why it is not there, for its test to skip with.
MountedVolume MountedVolume::tmpfs(const std::string& path, unsigned long long, bool) {
  MountedVolume volume(Kind::Tmpfs, path);
  volume.why_ = "Windows has no tmpfs to mount a small, full or locked drive with";
  return volume;
}

MountedVolume MountedVolume::fat32(const std::string& path, const std::string&, unsigned) {
  MountedVolume volume(Kind::Fuse, path);
  volume.why_ = "Windows has no FUSE to mount a FAT32 image with";
  return volume;
}

MountedVolume::~MountedVolume() = default;

}  // namespace kavo::testing
