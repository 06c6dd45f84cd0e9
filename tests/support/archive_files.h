// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Archives for tests of zipped sets.
namespace kavo::testing {

// A file in an archive; a name ending in "/" is a directory.
struct Member {
  std::string name;
  std::string bytes;
  std::int64_t modified = 1'700'000'000;
};

// The bytes of an archive of `members`, whatever the process's locale:
// - "zip" (deflated), "zip-stored", "zip-encrypted", "7z", with libarchive;
// - "zip-utf8", its names marked as UTF-8 (as 7-Zip writes a name that is not
//   ASCII); "zip-cp437", its names in CP437, unmarked (as older tools write);
// - "gz", a gzip member for each member, their names unused; "gz-named",
//   each member's header naming its file (gzip's FNAME), with zlib.
std::string archiveBytes(const std::string& format, const std::vector<Member>& members);

// Writes such an archive to `path` on the disk.
void writeArchive(const std::string& path, const std::string& format,
                  const std::vector<Member>& members);

}  // namespace kavo::testing
