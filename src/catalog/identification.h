// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalog/dat_file.h"
#include "platform/services/file_system.h"

// Which of a DAT's ROMs each listed file is, by its bytes.
namespace kavo::catalog {

enum class Found {
  Unknown,     // the DAT has no ROM of its size and CRC32 (and SHA-1)
  Identified,  // one of the DAT's ROMs
  Unreadable,  // could not be read (a damaged archive, a file gone)
};

// What a listed file is.
struct Identity {
  Found found = Found::Unknown;
  std::size_t game = 0;  // when Identified: the DAT's game and its ROM
  std::size_t rom = 0;
  bool badDump = false;  // the DAT says this dump is bad
  // An earlier listed file was identified as the same ROM.
  std::optional<std::size_t> duplicateOf;
  // The extension of the copy the export makes of it, dot included:
  // the listed name's, or for an archive its ROM's (".sms"); empty when the
  // name has none.
  std::string extension;
  std::string problem;  // when Unreadable: why
};

// Identifies each listed file in `sourceDirectory` (or the one ROM in an
// archive, as the export takes it) by its size and CRC32, and by SHA-1 too
// where the DAT gives one for a ROM of that size and CRC32. A file is read
// once, both hashes taken from the same pieces, and only when the DAT has a
// ROM of its size. `threads` files are read at once, as many as the export
// copies at once, so that some are hashed while others wait for the drive. A
// file that cannot be read is Unreadable, and the rest go on; an
// interruption stops it all. `files` is called from several threads at once.
std::vector<Identity> identify(FileSystem& files, const std::string& sourceDirectory,
                               const std::vector<std::string>& names, const Dat& dat,
                               std::size_t threads = 4);

// The name an identified file's record takes with --names dat: the DAT's
// name of its game and the copy's extension ("Sonic the Hedgehog (USA,
// Europe).sms"), so that the record still ends with the copy's extension.
// Nothing for a file not identified, or whose copy has no extension.
std::optional<std::string> datRecordName(const Dat& dat, const Identity& identity);

}  // namespace kavo::catalog
