// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "platform/services/file_system.h"

namespace kavo {

// The archives a listed file may be: players keep their sets zipped, one
// ROM an archive.
enum class ArchiveFormat { Zip, SevenZip, Gzip };

// The one ROM an archive holds, as the export takes it.
struct ArchivedRom {
  ArchiveFormat format = ArchiveFormat::Zip;
  // The name the index gives it: the archive's name with the archive's
  // extension replaced by the member's ("Sonic (USA).zip" holding
  // "Sonic (USA).sms" gives "Sonic (USA).sms"; "Game.sms.gz" gives
  // "Game.sms"). The member's own name is never used as a path.
  std::string name;
  std::uint64_t size = 0;  // unpacked, as the archive declares it
  std::int64_t modifiedSeconds = 0;
  std::uint32_t modifiedNanoseconds = 0;
};

// Whether a listed file is to be looked into: its extension says it may be
// an archive (".zip", ".7z", ".gz", in any case); its first bytes then say
// whether it is one.
bool mayBeArchive(std::string_view listedName);

// The archive a file's first bytes make it, if any.
std::optional<ArchiveFormat> archiveFormatOf(std::string_view firstBytes);

// Looks into the archive `path`, listed as `listedName`, and finds the one
// ROM it holds. Throws RunTimeError naming the archive when it holds no
// file or more than one (directories and empty names do not count), when
// its file is encrypted or its name gives no extension, or when it cannot be
// read.
ArchivedRom lookIntoArchive(FileSystem& files, const std::string& path, std::string_view listedName,
                            ArchiveFormat format);

// Unpacks the archive's one ROM, showing `write` its bytes in order. A bad
// checksum, a member that unpacks to more or fewer bytes than `rom`
// declares, a truncated or corrupt archive: each throws RunTimeError naming
// the archive and the reason.
void unpackArchive(FileSystem& files, const std::string& path, const ArchivedRom& rom,
                   const std::function<void(const char*, std::size_t)>& write);

}  // namespace kavo
