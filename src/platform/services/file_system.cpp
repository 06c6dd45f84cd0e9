// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/file_system.h"

#include "platform/services/interruption.h"
#include "platform/services/paths.h"

namespace kavo {

bool exists(FileSystem& files, const std::string& path) {
  return files.status(path).type != FileType::Missing;
}

std::optional<std::string> readAtMost(FileSystem& files, const std::string& path, std::size_t most,
                                      Reading reading) {
  std::unique_ptr<ReadableFile> file = files.openForReading(path, reading);
  std::string bytes;
  char piece[64 * 1024];
  while (const std::size_t got = file->read(piece, sizeof piece)) {
    throwIfInterrupted();
    bytes.append(piece, got);
    if (bytes.size() > most) return std::nullopt;
  }
  return bytes;
}

}  // namespace kavo
