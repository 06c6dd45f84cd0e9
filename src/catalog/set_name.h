// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/region_order.h"

// The names ROM sets give their files: a title, then tags in parentheses and
// flags in brackets, as No-Intro, TOSEC and GoodTools write them:
//   Sonic the Hedgehog (USA, Europe) (Rev 1)
//   Alex Kidd in Miracle World (Europe) (En,Fr,De) (Beta 2)
//   Wonder Boy (1986)(Sega)(EU)[!]
//   Legend of Zelda, The v1.1 (USA)
namespace kavo::catalog {

// A version or revision as numbers: "v1.1" is {1, 1}, "Rev 2" {2}, "Rev B"
// {2}. Compared number by number, a missing one counting as 0, so that
// "v1.1" < "v1.10" and a name without any is older than every one with one.
struct ReleaseNumber {
  std::array<std::uint32_t, 4> parts{};
  std::uint8_t count = 0;  // 0: none was given

  bool given() const { return count > 0; }
  auto operator<=>(const ReleaseNumber& other) const { return parts <=> other.parts; }
  bool operator==(const ReleaseNumber& other) const { return parts == other.parts; }
};

// What a release is besides a plain one; several may hold at once.
enum Kind : std::uint16_t {
  kBeta = 1 << 0,
  kProto = 1 << 1,
  kDemo = 1 << 2,
  kSample = 1 << 3,
  kUnlicensed = 1 << 4,  // a release of its own, not made under licence
  kPirate = 1 << 5,      // (Pirate), [p]
  kHack = 1 << 6,        // (Hack), [h], and changed by others: [t] trainers, [T+Eng] translations
};

// The kinds that are not the game as released: kept only when a game has
// nothing else. Unlicensed games are released games.
inline constexpr std::uint16_t kNotARelease = kBeta | kProto | kDemo | kSample | kPirate | kHack;

// A set name taken apart.
struct SetName {
  // The words before the first tag or flag (or after leading ones, as in
  // "[BIOS] Sega Master System"), blanks trimmed, and a TOSEC version word
  // "v1.1" at their end taken off. The whole name when it has no such words.
  std::string title;
  // "(Disc 1)", "(Disk 2 of 3)", "(Side B)": one part of a game that takes
  // several, which is a game of its own to choose a version of.
  std::string part;
  std::vector<Region> regions;  // "(USA, Europe)", "(EU)", "(JU)"
  std::string languages;        // "En,Fr,De", as written
  ReleaseNumber version;        // "(v1.1)", or "v1.1" after the title
  ReleaseNumber revision;       // "(Rev 1)", "(Rev A)"
  std::string versionText;      // "v1.1, Rev 1": how the name says them
  std::uint16_t kinds = 0;      // of Kind
  std::uint32_t stage = 0;      // the number of "(Beta 2)", "(Proto 1)", "(Demo 3)"
  bool badDump = false;         // [b], [b1]
  bool verified = false;        // [!]
  std::uint32_t flags = 0;      // bracketed flags other than [!]: [a], [o], [h], [b1], ...
  // Tags the convention does not name, as written with their brackets:
  // "(Virtual Console)", "(1986)", "(Sega)". Kept, and they count against a
  // version only when all else is equal.
  std::vector<std::string> otherTags;

  bool isRelease() const { return (kinds & kNotARelease) == 0; }
};

// Takes a file name without its extension apart. Never fails: what it does
// not understand stays in otherTags (or, before any tag, in the title).
SetName parseSetName(std::string_view stem);

// The name without its extension: up to its last dot, or all of it when it
// has none or what follows the dot holds a blank or a bracket (then it is
// part of the name, "Dr. Robotnik's Mean Bean Machine (USA)"). A ".gz"
// takes the extension before it along: "Game (USA).sms.gz" is "Game (USA)".
std::string_view stemOf(std::string_view fileName);

// What files of one game share: the title, and the part when there is one,
// with ASCII letters in lower case. Nothing else is made alike, so
// "Title, The" and "The Title" are two games, as are "Title" and "Title 2".
std::string gameKey(const SetName& name);

// "USA, Europe, Rev 1, Beta 2": the regions (or "no region"), the version as
// written, the kinds that are not plain, and "bad dump" or "verified".
std::string describe(const SetName& name);

}  // namespace kavo::catalog
