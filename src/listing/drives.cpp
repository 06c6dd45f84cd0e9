// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "listing/drives.h"

#include <algorithm>
#include <set>

#include "listing/drives_host.h"

namespace kavo {

std::string driveText(const std::string& mountPoint, const std::string& label) {
  const std::string shown = drives_host::shownName(mountPoint);
  return label.empty() ? shown : shown + " [" + label + "]";
}

std::vector<Drive> selectDrives(const std::vector<Volume>& volumes,
                                const std::string& currentVolume) {
  std::vector<Drive> drives;
  std::set<std::string> seen;
  auto add = [&](const std::string& mountPoint, const std::string& label) {
    if (seen.insert(mountPoint).second)
      drives.push_back({driveText(mountPoint, label), mountPoint});
  };
  const std::vector<std::string>& always = drives_host::alwaysOffered();
  for (const Volume& volume : volumes) {
    const bool wanted =
        std::find(always.begin(), always.end(), volume.mountPoint) != always.end() ||
        volume.mountPoint == currentVolume ||
        !drives_host::isSystemFileSystem(volume.fileSystemType);
    if (wanted) add(volume.mountPoint, volume.label);
  }
  for (const std::string& mountPoint : always) add(mountPoint, {});
  if (!currentVolume.empty()) add(currentVolume, {});
  std::sort(drives.begin(), drives.end(),
            [](const Drive& a, const Drive& b) { return a.mountPoint < b.mountPoint; });
  return drives;
}

int driveHolding(const std::vector<Drive>& drives, const std::string& path) {
  int best = -1;
  for (size_t i = 0; i < drives.size(); ++i) {
    if (drives_host::holds(drives[i].mountPoint, path) &&
        (best < 0 || drives[i].mountPoint.size() > drives[best].mountPoint.size()))
      best = static_cast<int>(i);
  }
  return best;
}

}  // namespace kavo
