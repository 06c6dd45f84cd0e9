// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/file_system.h"

namespace kavo {

bool exists(FileSystem& files, const std::string& path) {
  return files.status(path).type != FileType::Missing;
}

void copyFile(FileSystem& files, const std::string& from, const std::string& to) {
  const std::size_t slash = to.rfind('/');
  const std::string directory = slash == std::string::npos ? "."
                                : slash == 0               ? "/"
                                                           : to.substr(0, slash);
  files.copyInto(from, *files.openDirectory(directory),
                 slash == std::string::npos ? to : to.substr(slash + 1));
}

}  // namespace kavo
