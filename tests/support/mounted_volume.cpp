// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/mounted_volume.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace kavo::testing {

namespace {

std::string quoted(const std::string& text) { return "'" + text + "'"; }

bool commandExists(const char* name) {
  return std::system(("command -v " + std::string(name) + " >/dev/null 2>&1").c_str()) == 0;
}

}  // namespace

MountedVolume MountedVolume::tmpfs(const std::string& path, unsigned long long bytes,
                                   bool readOnly) {
  MountedVolume volume(Kind::Tmpfs, path);
  const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
  const unsigned long flags = MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
  if (::mount("tmpfs", path.c_str(), "tmpfs", flags, options.c_str()) == 0)
    volume.mounted_ = true;
  else
    volume.why_ = std::string("cannot mount a tmpfs here: ") + std::strerror(errno);
  return volume;
}

MountedVolume MountedVolume::fat32(const std::string& path, const std::string& image,
                                   unsigned megabytes) {
  MountedVolume volume(Kind::Fuse, path);
  if (::access("/dev/fuse", R_OK | W_OK) != 0) {
    volume.why_ = "no usable /dev/fuse on this machine";
    return volume;
  }
  for (const char* tool : {"fusefat", "mkfs.fat", "fusermount"}) {
    if (!commandExists(tool)) {
      volume.why_ = std::string(tool) + " is not installed";
      return volume;
    }
  }
  const std::string make = "truncate -s " + std::to_string(megabytes) + "M " + quoted(image) +
                           " && mkfs.fat -F 32 " + quoted(image) + " >/dev/null";
  // fusefat talks about the volume on standard output.
  const std::string mount =
      "fusefat -o rw+ " + quoted(image) + " " + quoted(path) + " >/dev/null 2>&1";
  if (std::system(make.c_str()) != 0) {
    volume.why_ = "mkfs.fat failed";
  } else if (std::system(mount.c_str()) != 0) {
    volume.why_ = "fusefat could not mount the image";
  } else {
    volume.mounted_ = true;
  }
  return volume;
}

MountedVolume::~MountedVolume() {
  if (!mounted_) return;
  if (kind_ == Kind::Tmpfs) {
    ::umount2(path_.c_str(), MNT_DETACH);
  } else {
    // A volume that cannot be unmounted is left to the system's clean-up;
    // a destructor has no one to tell.
    [[maybe_unused]] int status =
        std::system(("fusermount -u -z " + quoted(path_) + " >/dev/null 2>&1").c_str());
  }
}

}  // namespace kavo::testing
