// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kavo::testing {

// What a test archive holds: files, or directories (a name ending in "/").
struct Member {
  std::string name;
  std::string bytes;
  std::int64_t modified = 1'700'000'000;
};

// The bytes of an archive of `members`, made by libarchive: "zip"
// (deflated), "zip-stored", "zip-encrypted", "7z", or "gz" (one member, its
// name unused).
std::string archiveBytes(const std::string& format, const std::vector<Member>& members);

// Writes such an archive to `path` on the disk.
void writeArchive(const std::string& path, const std::string& format,
                  const std::vector<Member>& members);

}  // namespace kavo::testing
