// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds the DAT reader arbitrary bytes, as XML or clrmamepro text, and checks
// that it either refuses them with a line inside the text or gives a DAT
// within its limits whose games' parents are parents; every game's name is
// then taken apart as a set name.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "catalog/dat_file.h"
#include "catalog/set_name.h"
#include "fuzz/fuzz_check.h"

using namespace kavo::catalog;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  Dat dat;
  try {
    dat = parseDat(text);
  } catch (const DatError& error) {
    // XML ends a line at a carriage return too.
    const auto breaks =
        std::count_if(text.begin(), text.end(), [](char c) { return c == '\n' || c == '\r'; });
    FUZZ_CHECK(error.line() >= 1 && error.line() <= static_cast<std::size_t>(breaks) + 1);
    FUZZ_CHECK(!error.reason().empty());
    return 0;
  }
  FUZZ_CHECK(dat.games.size() <= DatLimits::kGames);
  FUZZ_CHECK(dat.name.size() <= DatLimits::kTextBytes);
  for (const DatGame& game : dat.games) {
    FUZZ_CHECK(!game.name.empty() && game.name.size() <= DatLimits::kNameBytes);
    FUZZ_CHECK(game.name.find_first_of("\r\n") == std::string::npos);
    FUZZ_CHECK(game.description.size() <= DatLimits::kTextBytes);
    FUZZ_CHECK(game.roms.size() <= DatLimits::kRomsPerGame);
    // A game's parent is a parent: its own.
    FUZZ_CHECK(game.parent < dat.games.size());
    FUZZ_CHECK(dat.games[game.parent].parent == game.parent);
    // A game whose parent is another is that one's clone, or a clone's.
    if (&dat.games[game.parent] != &game) FUZZ_CHECK(!game.cloneOf.empty());
    for (const DatRom& rom : game.roms) FUZZ_CHECK(!rom.name.empty());
    const SetName name = parseSetName(game.name);
    FUZZ_CHECK(name.title.size() <= game.name.size());
    describe(name);
  }
  return 0;
}
