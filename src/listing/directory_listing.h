// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

#include "listing/file_pattern.h"
#include "platform/services/file_system.h"

namespace kavo {

// The names of the regular files in `directory` that match `pattern`, in list
// order (listOrderLess). A symbolic link to a regular file counts;
// directories, dangling links, FIFOs, sockets and devices do not, nor do
// hidden names (starting with "."). Names are the exact bytes on disk. A
// directory that cannot be opened or read throws RunTimeError.
std::vector<std::string> listFiles(FileSystem& files, const std::string& directory,
                                   const FilePattern& pattern);

// The names of the subdirectories of `directory` (links to directories
// included, hidden names left out), in list order. Throws RunTimeError as
// listFiles does.
std::vector<std::string> listSubdirectories(FileSystem& files, const std::string& directory);

}  // namespace kavo
