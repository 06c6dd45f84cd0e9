// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "archive/archive_contents.h"
#include "export/manifest.h"
#include "platform/services/file_system.h"

namespace kavo {

// The one ROM an archive holds, as the export takes it.
struct ArchivedRom {
  ArchiveFormat format = ArchiveFormat::Zip;
  // The name the index gives it: the archive's name with the archive's
  // extension replaced by the ROM's ("Sonic (USA).zip" holding
  // "Sonic (USA).sms" gives "Sonic (USA).sms"), not added twice
  // ("Game.sms.gz" gives "Game.sms"). The ROM's own name is never used as a
  // path.
  std::string name;
  std::uint64_t size = 0;  // unpacked: as a zip or 7z declares it; a gzip file's, counted
  std::int64_t modifiedSeconds = 0;
  std::uint32_t modifiedNanoseconds = 0;
  // Where the ROM is among the archive's entries (directories and other
  // files counted), for unpacking it again.
  std::uint32_t entry = 0;
  // What the archive was when it was looked into (the identity the plan
  // records of the source): unpacking fails, "Changed while it was copied",
  // when the archive is no longer this file or changes while it is read.
  SourceIdentity archive;
};

// Looks into the archive `path`, open as `file` and listed as `listedName`,
// whose first bytes make it `format`, and finds the one ROM it holds: of its
// files (not directories, nor what an operating system leaves in an archive:
// __MACOSX/, .DS_Store, Thumbs.db, desktop.ini), the one that `wanted`
// takes, or with no filter the one that is not beside a ROM. A gzip file
// holds one file by nature, named in its header or, when that gives no
// extension, as the archive less ".gz"; every member of it is unpacked here
// to check it and count its bytes. Throws RunTimeError naming the archive when it holds no ROM or
// more than one (naming them), when its ROM is a link, encrypted, of unknown size, or named so that
// its record could not be written (see recordNameProblem: no extension, a line break, a control
// character or a comma in it), or when it cannot be read.
ArchivedRom lookIntoArchive(ReadableFile& file, const std::string& path,
                            std::string_view listedName, ArchiveFormat format,
                            const RomFilter& wanted = {});

// Unpacks the archive's ROM, showing `write` its bytes in order. The archive
// must still be the file `rom` was found in, unchanged while it is read
// ("Changed while it was copied": the reason a plain copy gives). A bad
// checksum or length, a member that unpacks to more or fewer bytes than
// `rom` declares, a truncated or corrupt archive, bytes after a gzip file's
// last member other than zeros: each throws RunTimeError naming the archive
// and the reason. What `write` throws passes unchanged.
void unpackArchive(FileSystem& files, const std::string& path, const ArchivedRom& rom,
                   const std::function<void(const char*, std::size_t)>& write);

}  // namespace kavo
