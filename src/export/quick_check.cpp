// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/quick_check.h"

#include <algorithm>

#include "platform/services/interruption.h"
#include "platform/services/thread_buffer.h"

namespace kavo {

bool recordMatchesSource(const ManifestEntry& recorded, const SourceIdentity& source,
                         const std::function<ContentHash()>& sourceHash) {
  return source == recorded.source || sourceHash() == recorded.hash;
}

std::optional<ContentHash> earlierCopyStillRight(FileSystem& files, const std::string& copyPath,
                                                 const FileStatus& copy, std::uint64_t sourceSize,
                                                 const SourceIdentity& source,
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

ContentHash hashOf(std::string_view bytes) {
  Hasher hasher;
  hasher.add(bytes.data(), bytes.size());
  return hasher.digest();
}

}  // namespace kavo
