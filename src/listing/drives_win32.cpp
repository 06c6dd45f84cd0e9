// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The drive list on Windows: a root for each drive letter ("E:\"), and
// folders a volume is mounted on; Windows has no file systems of its own
// to leave out. Letters and names compare without case, as Windows' do.

#include "listing/drives_host.h"
#include "platform/services/paths.h"

namespace kavo::drives_host {

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether two characters of a path are the same to Windows: letters of
// either case, "/" and "\".
bool sameAs(char a, char b) {
  if (paths::isSeparator(a) && paths::isSeparator(b)) return true;
  return lower(a) == lower(b);
}

bool isDriveRoot(const std::string& path) {
  return path.size() == 3 && path[1] == ':' && paths::isSeparator(path[2]);
}

}  // namespace

bool isSystemFileSystem(const std::string&) { return false; }

const std::vector<std::string>& alwaysOffered() {
  static const std::vector<std::string> none;
  return none;
}

bool holds(const std::string& mountPoint, const std::string& path) {
  const std::string mount = paths::withoutTrailingSeparators(mountPoint);
  if (path.size() < mount.size()) return false;
  for (std::size_t i = 0; i < mount.size(); ++i)
    if (!sameAs(mount[i], path[i])) return false;
  return path.size() == mount.size() || paths::isSeparator(path[mount.size()]) ||
         paths::isSeparator(mount.back());
}

std::string shownName(const std::string& mountPoint) {
  if (!isDriveRoot(mountPoint)) return mountPoint;
  return {lower(mountPoint[0]), ':'};
}

}  // namespace kavo::drives_host
