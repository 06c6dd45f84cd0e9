// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <unistd.h>

#include <cerrno>
#include <climits>
#include <vector>

#include "platform/services/current_directory.h"
#include "platform/services/posix_errors.h"
#include "platform/services/run_time_error.h"

namespace kavo {

std::string currentDirectory() {
  std::vector<char> buffer(PATH_MAX);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) throw errorFromErrno(errno, ".", PathRole::Directory);
    buffer.resize(buffer.size() * 2);
  }
  return buffer.data();
}

}  // namespace kavo
