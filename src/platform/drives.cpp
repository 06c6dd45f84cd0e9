#include "platform/drives.h"

#include <sys/stat.h>

#include <algorithm>
#include <set>

namespace kavo {

namespace {

// File systems that hold the kernel's or the system's own state rather than
// anyone's files.
const std::set<std::string>& systemFileSystems() {
  static const std::set<std::string> types = {
      "proc",   "sysfs",     "devtmpfs", "devpts",   "cgroup",   "cgroup2",
      "securityfs", "debugfs", "tracefs", "pstore", "bpf",      "mqueue",
      "hugetlbfs", "autofs", "fusectl",  "configfs", "binfmt_misc",
      "overlay", "squashfs", "tmpfs", "rpc_pipefs", "nsfs", "efivarfs"};
  return types;
}

bool isDirectory(const std::string& path) {
  struct stat status;
  return ::stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
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
    const bool wanted = volume.mountPoint == "/" ||
                        volume.mountPoint == currentVolume ||
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

std::string directoryOfDriveText(const std::string& text) {
  if (!text.ends_with(']') || isDirectory(text)) return text;
  // A mount point may itself hold " [", so try each cut from the left. When
  // none is a directory (the volume has gone), the mount point in front of
  // the last label is what could not be opened.
  size_t lastCut = std::string::npos;
  for (size_t cut = text.find(" ["); cut != std::string::npos;
       cut = text.find(" [", cut + 1)) {
    if (isDirectory(text.substr(0, cut))) return text.substr(0, cut);
    lastCut = cut;
  }
  return lastCut == std::string::npos ? text : text.substr(0, lastCut);
}

}  // namespace kavo
