// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/services/file_system.h"

namespace kavo {

// The directories an export writes to, claimed for it alone until the
// object goes (see FileSystem::lockDirectory).
class DirectoryClaims {
 public:
  void claim(FileSystem& files, const std::string& directory) {
    locks_.push_back(files.lockDirectory(directory));
  }

 private:
  std::vector<std::unique_ptr<DirectoryLock>> locks_;
};

}  // namespace kavo
