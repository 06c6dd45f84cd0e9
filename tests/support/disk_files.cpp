// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a test's files on the disk do alike on every host; the rest is in
// each host's sibling.
#include "support/disk_files.h"

#include <fstream>
#include <stdexcept>

namespace kavo::testing {

void DiskFiles::require(bool done, const std::string& what, const std::string& path) {
  if (!done) throw std::runtime_error("cannot " + what + " " + path);
}

void DiskFiles::writeFile(const std::string& path, std::string_view bytes) {
  testing::writeFile(path, bytes);
}

void DiskFiles::appendTo(const std::string& path, std::string_view bytes) {
  std::ofstream out(hostPath(path), std::ios::binary | std::ios::app);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  require(static_cast<bool>(out.flush()), "append to", path);
}

}  // namespace kavo::testing
