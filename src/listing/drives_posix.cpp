// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The drive list on POSIX hosts: mount points under one root "/", and the
// kernel's own file systems left out.

#include <set>

#include "listing/drives_host.h"
#include "platform/services/paths.h"

namespace kavo::drives_host {

bool isSystemFileSystem(const std::string& type) {
  static const std::set<std::string> types = {
      "proc",       "sysfs",   "devtmpfs",   "devpts",   "cgroup",      "cgroup2",
      "securityfs", "debugfs", "tracefs",    "pstore",   "bpf",         "mqueue",
      "hugetlbfs",  "autofs",  "fusectl",    "configfs", "binfmt_misc", "overlay",
      "squashfs",   "tmpfs",   "rpc_pipefs", "nsfs",     "efivarfs"};
  return types.contains(type);
}

const std::vector<std::string>& alwaysOffered() {
  static const std::vector<std::string> root = {"/"};
  return root;
}

bool holds(const std::string& mountPoint, const std::string& path) {
  if (mountPoint == "/") return paths::isAbsolute(path);
  return path.starts_with(mountPoint) &&
         (path.size() == mountPoint.size() || paths::isSeparator(path[mountPoint.size()]));
}

std::string shownName(const std::string& mountPoint) { return mountPoint; }

}  // namespace kavo::drives_host
