// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <utility>

namespace kavo::testing {

// A volume mounted for one test and unmounted when the object goes: a small
// tmpfs (a disk that fills up), or a FAT32 image through fusefat (the file
// system of players' USB drives). Mounting needs privileges that a
// developer's machine may lack; where it fails, mounted() is false and
// why() says why, for the test to skip with.
class MountedVolume {
 public:
  // A tmpfs of `bytes` at `path` (a directory that exists); read-only, as a
  // memory card with its lock switch on is mounted, when asked.
  static MountedVolume tmpfs(const std::string& path, unsigned long long bytes,
                             bool readOnly = false);
  // A fresh FAT32 image of `megabytes` in `image`, mounted at `path`.
  static MountedVolume fat32(const std::string& path, const std::string& image, unsigned megabytes);

  MountedVolume(MountedVolume&& other) noexcept
      : kind_(other.kind_),
        path_(std::move(other.path_)),
        mounted_(std::exchange(other.mounted_, false)),
        why_(std::move(other.why_)) {}
  MountedVolume& operator=(MountedVolume&&) = delete;
  ~MountedVolume();

  bool mounted() const { return mounted_; }
  const std::string& why() const { return why_; }

 private:
  enum class Kind { Tmpfs, Fuse };
  MountedVolume(Kind kind, std::string path) : kind_(kind), path_(std::move(path)) {}

  Kind kind_;
  std::string path_;
  bool mounted_ = false;
  std::string why_;
};

}  // namespace kavo::testing
