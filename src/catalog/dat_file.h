// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services/file_system.h"

// DAT files: the catalogues preservation groups publish of a console's games,
// each with its ROMs by size, CRC32 and SHA-1, and which game is a clone of
// which. Two formats: Logiqx XML
//   <datafile><header><name>…</name></header>
//     <game name="…" cloneof="…"><description>…</description>
//       <rom name="…" size="262144" crc="b519e833" sha1="…" status="baddump"/>
//     </game></datafile>
// (MAME's <machine> for <game> too), and the older clrmamepro text
//   clrmamepro ( name "…" )
//   game ( name "…" cloneof "…" rom ( name "…" size 262144 crc b519e833 sha1 … ) )
// A DAT is someone else's file: both readers bound its size and counts, the
// XML reader loads nothing from outside the file and bounds how far entities
// expand, and every refusal names the line.
namespace kavo::catalog {

using Sha1 = std::array<std::uint8_t, 20>;

enum class RomStatus { Good, BadDump, NoDump };

struct DatRom {
  std::string name;
  std::uint64_t size = 0;
  std::optional<std::uint32_t> crc32;
  std::optional<Sha1> sha1;
  RomStatus status = RomStatus::Good;
};

struct DatGame {
  std::string name;
  std::string description;
  std::string cloneOf;  // the parent's name as the DAT gives it; empty for a parent
  // The game this one belongs to: the end of its chain of cloneof (its own
  // index for a parent, and for a clone whose parent the DAT lacks or whose
  // chain goes round).
  std::size_t parent = 0;
  std::vector<DatRom> roms;
};

struct Dat {
  std::string name;  // the header's
  std::string description;
  std::string version;
  std::vector<DatGame> games;  // in the DAT's order
};

// What a DAT may hold. A full No-Intro DAT of a console is well under a
// megabyte and a few thousand games.
struct DatLimits {
  static constexpr std::size_t kFileBytes = 64 * 1024 * 1024;
  static constexpr std::size_t kGames = 100'000;
  static constexpr std::size_t kRomsPerGame = 1'000;
  static constexpr std::size_t kNameBytes = 1'024;  // game and ROM names
  static constexpr std::size_t kTextBytes = 4'096;  // descriptions, header texts
  static constexpr std::size_t kDepth = 16;         // elements or blocks inside one another
  // Entities: expansion starts being checked after this many bytes, and
  // may then make at most this many times the input.
  static constexpr unsigned long long kEntityThreshold = 1024 * 1024;
  static constexpr float kEntityAmplification = 20.0f;
};

// A DAT that cannot be read, and on which line.
class DatError : public std::runtime_error {
 public:
  DatError(std::size_t line, const std::string& reason);
  std::size_t line() const { return line_; }
  const std::string& reason() const { return reason_; }

 private:
  std::size_t line_;
  std::string reason_;
};

// Reads a DAT's text, XML when it starts with "<" (after a byte order mark
// and blanks), else clrmamepro. Throws DatError.
Dat parseDat(std::string_view text);

// Reads the DAT file at `path`. A file that cannot be read throws
// RunTimeError as usual; one that is too large or not a DAT throws
// RunTimeError naming the path and, for the latter, the line and the reason.
Dat readDat(FileSystem& files, const std::string& path);

}  // namespace kavo::catalog
