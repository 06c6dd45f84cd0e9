// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "listing/drives.h"

#include <algorithm>
#include <set>

namespace kavo {

namespace {

// File systems that hold the kernel's or the system's own state rather than
// anyone's files.
const std::set<std::string>& systemFileSystems() {
  static const std::set<std::string> types = {
      "proc",       "sysfs",   "devtmpfs",   "devpts",   "cgroup",      "cgroup2",
      "securityfs", "debugfs", "tracefs",    "pstore",   "bpf",         "mqueue",
      "hugetlbfs",  "autofs",  "fusectl",    "configfs", "binfmt_misc", "overlay",
      "squashfs",   "tmpfs",   "rpc_pipefs", "nsfs",     "efivarfs"};
  return types;
}

bool holds(const std::string& mountPoint, const std::string& path) {
  if (mountPoint == "/") return path.starts_with('/');
  return path.starts_with(mountPoint) &&
         (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

}  // namespace

std::string driveText(const std::string& mountPoint, const std::string& label) {
  return label.empty() ? mountPoint : mountPoint + " [" + label + "]";
}

std::vector<Drive> selectDrives(const std::vector<Volume>& volumes,
                                const std::string& currentVolume) {
  std::vector<Drive> drives;
  std::set<std::string> seen;
  auto add = [&](const std::string& mountPoint, const std::string& label) {
    if (seen.insert(mountPoint).second)
      drives.push_back({driveText(mountPoint, label), mountPoint});
  };
  for (const Volume& volume : volumes) {
    const bool wanted = volume.mountPoint == "/" || volume.mountPoint == currentVolume ||
                        !systemFileSystems().contains(volume.fileSystemType);
    if (wanted) add(volume.mountPoint, volume.label);
  }
  add("/", {});
  if (!currentVolume.empty()) add(currentVolume, {});
  std::sort(drives.begin(), drives.end(),
            [](const Drive& a, const Drive& b) { return a.mountPoint < b.mountPoint; });
  return drives;
}

int driveHolding(const std::vector<Drive>& drives, const std::string& path) {
  int best = -1;
  for (size_t i = 0; i < drives.size(); ++i) {
    if (holds(drives[i].mountPoint, path) &&
        (best < 0 || drives[i].mountPoint.size() > drives[best].mountPoint.size()))
      best = static_cast<int>(i);
  }
  return best;
}

}  // namespace kavo
