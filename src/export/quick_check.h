// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "export/archived_rom.h"
#include "export/content_hash.h"
#include "export/manifest.h"
#include "platform/services/file_system.h"

// When a copy in a layout still holds its source's bytes: the one rule that
// a refresh (which copies to keep) and --check (which copies differ) share.
namespace kavo {

// Whether what the manifest `recorded` of a copy says it holds the bytes
// the source holds now: the source is the one it was copied from, unchanged
// (its identity `source` is the one recorded; only where its file system
// keeps identities that can be trusted, else null), or the source's bytes,
// hashed on the computer (`sourceHash`, asked only when needed), have the
// recorded hash.
bool recordMatchesSource(const ManifestEntry& recorded, const SourceIdentity* source,
                         const std::function<ContentHash()>& sourceHash);

// Whether an earlier copy can stand for its source, and then the hash of
// the bytes they share. It must have the size the source gives
// (`sourceSize`); then, with `compareBytes` or without what the manifest
// `recorded` of it, its bytes as the drive returns them must hash as the
// source's bytes do (`sourceHash`); else the record must match the source
// (recordMatchesSource).
std::optional<ContentHash> earlierCopyStillRight(FileSystem& files, const std::string& copyPath,
                                                 const FileStatus& copy, std::uint64_t sourceSize,
                                                 const SourceIdentity* source,
                                                 const ManifestEntry* recorded, bool compareBytes,
                                                 const std::function<ContentHash()>& sourceHash);

// The hash of the bytes a source gives: its own, or its archive's ROM's.
ContentHash sourceHash(FileSystem& files, const std::string& path, const ArchivedRom* archived);

// The hash of a file's bytes; `reading` says where they come from.
ContentHash hashOf(FileSystem& files, const std::string& path, Reading reading = Reading::Cached);

// The hash of bytes in hand.
ContentHash hashOf(std::string_view bytes);

// A stretch of a file's bytes.
struct ByteRange {
  std::uint64_t offset = 0, size = 0;
};

// The blocks of a copy of `size` bytes that stand for it when a refresh
// checks a copy it keeps without reading all of it: its first, middle and
// last 4 KiB (all of a small one). A drive that stores less than it claims
// wraps later writes over earlier ones a large stretch at a time, so a
// stretch that lands on a copy reaches one of them.
std::vector<ByteRange> sampleRanges(std::uint64_t size);

// Hashes the sampled blocks of a file of `size` bytes as its bytes are shown
// to it, in order.
class SampleHasher {
 public:
  explicit SampleHasher(std::uint64_t size);
  void add(const char* bytes, std::size_t size);
  std::uint64_t digest() const { return hasher_.digest().low; }

 private:
  std::vector<ByteRange> ranges_;
  std::size_t next_ = 0;        // the first range not yet wholly seen
  std::uint64_t position_ = 0;  // of the next byte shown
  Hasher hasher_;
};

// The hash of the sampled blocks of the file at `path`, taken as a file of
// `size` bytes, read as `reading` says; nothing when it lacks some of them.
std::optional<std::uint64_t> sampleOf(FileSystem& files, const std::string& path,
                                      std::uint64_t size, Reading reading);

}  // namespace kavo
