// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <optional>
#include <string>

#include "export/archived_rom.h"
#include "export/content_hash.h"
#include "export/manifest.h"
#include "platform/services/file_system.h"

// When a copy in a layout still holds its source's bytes: the one rule that
// a refresh (which copies to keep) and --check (which copies differ) share.
namespace kavo {

// Whether what the manifest `recorded` of a copy says it holds the bytes
// the source holds now: the source is the one it was copied from, unchanged
// (its identity is the one recorded), or the source's bytes, hashed on the
// computer (`sourceHash`, asked only when needed), have the recorded hash.
bool recordMatchesSource(const ManifestEntry& recorded, const SourceIdentity& source,
                         const std::function<ContentHash()>& sourceHash);

// Whether an earlier copy can stand for its source, and then the hash of
// the bytes they share. It must have the size the source gives
// (`sourceSize`); then, with `compareBytes` or without what the manifest
// `recorded` of it, its bytes as the drive returns them must hash as the
// source's bytes do (`sourceHash`); else the record must match the source
// (recordMatchesSource).
std::optional<ContentHash> earlierCopyStillRight(FileSystem& files, const std::string& copyPath,
                                                 const FileStatus& copy, std::uint64_t sourceSize,
                                                 const SourceIdentity& source,
                                                 const ManifestEntry* recorded, bool compareBytes,
                                                 const std::function<ContentHash()>& sourceHash);

// The hash of the bytes a source gives: its own, or its archive's ROM's.
ContentHash sourceHash(FileSystem& files, const std::string& path, const ArchivedRom* archived);

// The hash of a file's bytes; `reading` says where they come from.
ContentHash hashOf(FileSystem& files, const std::string& path, Reading reading = Reading::Cached);

// The hash of bytes in hand.
ContentHash hashOf(std::string_view bytes);

}  // namespace kavo
