// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "listing/directory_listing.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>

#include "listing/list_order.h"
#include "platform/services/posix_errors.h"

namespace kavo {

namespace {

// The visible names in `directory` of entries of type `type`, links
// followed, in list order.
std::vector<std::string> namesOf(FileSystem& files, const std::string& directory, FileType type,
                                 const FilePattern* pattern) {
  std::vector<std::string> names;
  for (DirectoryEntry& entry : files.listDirectory(directory, Listing::Types)) {
    if (entry.name.front() == '.' || entry.status.type != type) continue;
    if (pattern && !pattern->matches(entry.name)) continue;
    names.push_back(std::move(entry.name));
  }
  std::sort(names.begin(), names.end(), listOrderLess);
  return names;
}

}  // namespace

std::string currentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) throw errorFromErrno(errno, ".", PathRole::Directory);
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

std::vector<std::string> listFiles(FileSystem& files, const std::string& directory,
                                   const FilePattern& pattern) {
  return namesOf(files, directory, FileType::Regular, &pattern);
}

std::vector<std::string> listSubdirectories(FileSystem& files, const std::string& directory) {
  return namesOf(files, directory, FileType::Directory, nullptr);
}

}  // namespace kavo
