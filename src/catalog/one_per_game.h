// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "catalog/dat_file.h"
#include "catalog/identification.h"
#include "catalog/region_order.h"

// One version of each game: of the files of one game, the one a player
// wants on the stick. A game's files are those whose titles are the same
// but for case (see set_name.h), or with a DAT, those the DAT says are one
// game (a clone with its parent). Of them one is kept, chosen by these
// rules, each deciding only where the ones before it leave a tie:
//   1. never a bad dump ([b], or a ROM the DAT marks bad dump): a game with
//      nothing but bad dumps keeps nothing;
//   2. a release over a beta, prototype, demo, sample, pirate copy or hack
//      (those are kept only when a game has nothing else; unlicensed games
//      are releases);
//   3. the region first in the player's order (see RegionOrder::rank);
//   4. the highest version, then the highest revision ("v1.1", "Rev 1");
//   5. the latest stage of a beta or prototype ("Beta 2" over "Beta");
//   6. a verified dump ([!]) over one not marked so;
//   7. fewer flags ([a], [o], [h]...);
//   8. fewer other tags ("(Virtual Console)", "(Sega Ages)");
//   9. the earlier in the list.
// Files a DAT does not know, and files that could not be read, are kept as
// they are, each a game of its own.
namespace kavo::catalog {

struct FileChoice {
  bool kept = false;
  std::size_t game = 0;  // into Choice::games
  // Why, in a few words: "kept: Europe, Rev 1", "dropped: Japan; Europe
  // preferred".
  std::string reason;
};

struct Choice {
  // Each game's name, in the order of its first file in the list: the
  // title of that file (and its part, "Game (Disc 2)"), or the DAT's name of
  // the game's parent.
  std::vector<std::string> games;
  std::vector<FileChoice> files;  // one a listed file, in list order

  // The files kept, in list order: the list the export numbers.
  std::vector<std::size_t> kept() const;
};

// Chooses from the names alone (file names, their extensions included).
Choice choose(const std::vector<std::string>& names, const RegionOrder& order);

// Chooses with what a DAT said of each file: identified files are grouped by
// the DAT's parents and clones and judged by the tags of the DAT's names of
// their games.
Choice choose(const std::vector<std::string>& names, const RegionOrder& order, const Dat& dat,
              const std::vector<Identity>& identities);

}  // namespace kavo::catalog
