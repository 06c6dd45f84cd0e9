// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "platform/services/file_system.h"
#include "platform/services/paths.h"

namespace kavo::testing {

// FileSystem::copyInto, to the path `to`.
inline FileStatus copyFile(FileSystem& files, const std::string& from, const std::string& to) {
  return files.copyInto(from, *files.openDirectory(paths::parent(to)),
                        std::string(paths::leaf(to)));
}

}  // namespace kavo::testing
