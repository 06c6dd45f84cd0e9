// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/content_hash.h"
#include "platform/services/file_system.h"

namespace kavo {

// The manifest an export leaves in the destination beside the group
// directories: an 8.3 upper-case name, as FAT and the console expect.
inline constexpr char kManifestName[] = "KAVOSUMS.TXT";

// What a source was when its copy was made. The same file with the same
// size and times holds the same bytes, as far as anyone can tell without
// reading it, so a refresh need not hash an unchanged source again.
struct SourceIdentity {
  std::uint64_t size = 0, device = 0, inode = 0;
  std::int64_t modifiedSeconds = 0, changedSeconds = 0;
  std::uint32_t modifiedNanoseconds = 0, changedNanoseconds = 0;

  static SourceIdentity of(const FileStatus& status);
  bool operator==(const SourceIdentity&) const = default;
};

// One copy of a layout as the manifest records it.
struct ManifestEntry {
  std::string copy;  // relative to the destination: "ROMS0/0.SMS"
  std::uint64_t size = 0;
  ContentHash hash;  // of the bytes the copy holds, as they were verified
  SourceIdentity source;
  // The hash of the copy's sampled blocks (see sampleRanges), by which a
  // refresh checks a copy it keeps without reading all of it. Manifests of
  // the first version have none, nor the names.
  std::optional<std::uint64_t> sample;
  // The listed file the copy was made from, and the name the index gives
  // it when that is another (an archive's ROM's).
  std::string listed, record;
  bool operator==(const ManifestEntry&) const = default;

  // The name the index gives the copy.
  const std::string& recordName() const { return record.empty() ? listed : record; }
};

// The manifest's text: a header line, then a line for each copy in list
// order: its hash, its sampled blocks' hash, its size, its source's size,
// modification and change times, device and inode, then its path, which may
// hold spaces, and after a tab the listed name and, after another, the
// record name when it is not the listed one. Names hold no control
// character, so a tab ends each. A manifest of the first version, without
// the sampled blocks' hash and the names, is still read.
std::string_view manifestHeader();
std::string manifestLine(const ManifestEntry& entry);
std::string manifestText(const std::vector<ManifestEntry>& entries);

// Whether a file that begins with `start` is a manifest of this program's.
bool isOurManifest(std::string_view start);

// Reads the text of a manifest this program wrote, a line at a time, each
// bounded; anything else (truncated, damaged, another program's) gives
// nothing.
std::optional<std::vector<ManifestEntry>> parseManifest(std::string_view text);

// The manifest at `path`: nothing when it cannot be read as one (a file of
// more than some tens of megabytes is not one).
std::optional<std::vector<ManifestEntry>> readManifest(FileSystem& files, const std::string& path,
                                                       Reading reading = Reading::Cached);

}  // namespace kavo
