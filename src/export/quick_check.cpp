// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/quick_check.h"

#include <algorithm>

#include "platform/services/interruption.h"
#include "platform/services/thread_buffer.h"

namespace kavo {

bool recordMatchesSource(const ManifestEntry& recorded, const SourceIdentity* source,
                         const std::function<ContentHash()>& sourceHash) {
  return (source && *source == recorded.source) || sourceHash() == recorded.hash;
}

std::optional<ContentHash> earlierCopyStillRight(FileSystem& files, const std::string& copyPath,
                                                 const FileStatus& copy, std::uint64_t sourceSize,
                                                 const SourceIdentity* source,
                                                 const ManifestEntry* recorded, bool compareBytes,
                                                 const std::function<ContentHash()>& sourceHash) {
  if (copy.size != sourceSize) return std::nullopt;
  if (compareBytes || !recorded) {
    const ContentHash onDrive = hashOf(files, copyPath, Reading::FromMedium);
    if (onDrive == sourceHash()) return onDrive;
    return std::nullopt;
  }
  if (recordMatchesSource(*recorded, source, sourceHash)) return recorded->hash;
  return std::nullopt;
}

ContentHash sourceHash(FileSystem& files, const std::string& path, const ArchivedRom* archived) {
  if (!archived) return hashOf(files, path);
  Hasher hasher;
  unpackArchive(files, path, *archived,
                [&](const char* bytes, std::size_t size) { hasher.add(bytes, size); });
  return hasher.digest();
}

ContentHash hashOf(FileSystem& files, const std::string& path, Reading reading) {
  std::unique_ptr<ReadableFile> file = files.openForReading(path, reading);
  char* piece = threadBuffer();
  Hasher hasher;
  // The bytes the file had when it was opened, as a copy takes them: a small
  // file in one read, with none after to find its end.
  const std::uint64_t size = file->status().size;
  for (std::uint64_t total = 0; total < size;) {
    const std::size_t got =
        file->read(piece, std::min<std::uint64_t>(kThreadBufferSize, size - total));
    if (got == 0) break;
    throwIfInterrupted();
    hasher.add(piece, got);
    total += got;
  }
  return hasher.digest();
}

std::vector<ByteRange> sampleRanges(std::uint64_t size) {
  constexpr std::uint64_t kBlock = 4096;
  if (size <= 3 * kBlock) return {{0, size}};
  const std::uint64_t middle = size / 2 / kBlock * kBlock;
  return {{0, kBlock}, {middle, kBlock}, {size - kBlock, kBlock}};
}

SampleHasher::SampleHasher(std::uint64_t size) : ranges_(sampleRanges(size)) {}

void SampleHasher::add(const char* bytes, std::size_t size) {
  const std::uint64_t start = position_, end = position_ + size;
  position_ = end;
  for (; next_ < ranges_.size(); ++next_) {
    const ByteRange& range = ranges_[next_];
    const std::uint64_t from = std::max(range.offset, start);
    const std::uint64_t to = std::min(range.offset + range.size, end);
    if (from < to) hasher_.add(bytes + (from - start), static_cast<std::size_t>(to - from));
    if (range.offset + range.size > end) break;  // the rest of it comes later
  }
}

std::optional<std::uint64_t> sampleOf(FileSystem& files, const std::string& path,
                                      std::uint64_t size, Reading reading) {
  std::unique_ptr<ReadableFile> file = files.openForReading(path, reading);
  char* piece = threadBuffer();
  Hasher hasher;
  for (const ByteRange& range : sampleRanges(size)) {
    for (std::uint64_t at = range.offset; at < range.offset + range.size;) {
      const std::size_t got = file->readAt(
          at, piece, std::min<std::uint64_t>(kThreadBufferSize, range.offset + range.size - at));
      if (got == 0) return std::nullopt;
      hasher.add(piece, got);
      at += got;
    }
  }
  return hasher.digest().low;
}

ContentHash hashOf(std::string_view bytes) {
  Hasher hasher;
  hasher.add(bytes.data(), bytes.size());
  return hasher.digest();
}

}  // namespace kavo
