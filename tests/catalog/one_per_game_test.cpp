// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/one_per_game.h"

#include <gtest/gtest.h>

#include "catalog/sample_dat.h"

namespace kavo::catalog {
namespace {

// A list of names and what becomes of each, in list order.
struct SetCase {
  std::vector<std::string> names;
  std::vector<std::string> reasons;
  const char* prefer = nullptr;  // as --prefer gives it; the default order when null
  const char* locale = "de_DE.UTF-8";
};

RegionOrder orderOf(const SetCase& c) {
  return c.prefer ? parseRegionOrder(c.prefer, c.locale) : defaultRegionOrder(c.locale);
}

void expectReasons(const Choice& choice, const std::vector<std::string>& names,
                   const std::vector<std::string>& reasons) {
  ASSERT_EQ(choice.files.size(), reasons.size()) << names.front();
  for (std::size_t i = 0; i < reasons.size(); ++i) {
    EXPECT_EQ(choice.files[i].reason, reasons[i]) << names[i];
    EXPECT_EQ(choice.files[i].kept, reasons[i].starts_with("kept: ")) << names[i];
  }
}

TEST(OnePerGameTest, KeepsOneVersionOfEachGameByTheRules) {
  const SetCase cases[] = {
      // The full set of the issue: region before revision, releases only.
      {{"Sonic the Hedgehog (Beta).sms", "Sonic the Hedgehog (Japan).sms",
        "Sonic the Hedgehog (USA, Europe) (Rev 1).sms", "Sonic the Hedgehog (USA, Europe).sms"},
       {"dropped: no region, Beta; the release preferred", "dropped: Japan; USA, Europe preferred",
        "kept: USA, Europe, Rev 1", "dropped: USA, Europe; Rev 1 is newer"}},
      {{"Sonic the Hedgehog (Beta).sms", "Sonic the Hedgehog (Japan).sms",
        "Sonic the Hedgehog (USA, Europe) (Rev 1).sms", "Sonic the Hedgehog (USA, Europe).sms"},
       {"dropped: no region, Beta; the release preferred", "kept: Japan",
        "dropped: USA, Europe, Rev 1; Japan preferred", "dropped: USA, Europe; Japan preferred"},
       "JPN"},
      // The region order: the player's, or the locale's.
      {{"Game (Europe).sms", "Game (USA).sms"}, {"kept: Europe", "dropped: USA; Europe preferred"}},
      {{"Game (Europe).sms", "Game (USA).sms"},
       {"dropped: Europe; USA preferred", "kept: USA"},
       nullptr,
       "en_US.UTF-8"},
      {{"Game (Europe).sms", "Game (USA).sms"},
       {"dropped: Europe; USA preferred", "kept: USA"},
       "U"},
      // Named only Brazil: the rest follow in the default order, so Europe
      // still wins over Japan.
      {{"Game (Japan).sms", "Game (Europe).sms"},
       {"dropped: Japan; Europe preferred", "kept: Europe"},
       "BRA"},
      // A country counts as its region, after the region itself.
      {{"Game (Germany).sms", "Game (USA).sms"},
       {"kept: Germany", "dropped: USA; Germany preferred"}},
      {{"Game (France).sms", "Game (Europe).sms"},
       {"dropped: France; Europe preferred", "kept: Europe"}},
      // Several regions: the best of them counts.
      {{"Game (Europe).sms", "Game (USA, Europe).sms"},
       {"kept: Europe", "dropped: USA, Europe; the same version comes earlier in the list"}},
      // A name that gives no region comes after every region.
      {{"Game (Japan).sms", "Game.sms"}, {"kept: Japan", "dropped: no region; Japan preferred"}},
      {{"Game (Brazil).sms", "Game.sms"}, {"kept: Brazil", "dropped: no region; Brazil preferred"}},
      // Versions and revisions, number by number; none is older than any.
      {{"Game (v1.10).sms", "Game (v1.9).sms"},
       {"kept: no region, v1.10", "dropped: no region, v1.9; v1.10 is newer"}},
      {{"Game (Europe).sms", "Game (Europe) (v1.0).sms"},
       {"dropped: Europe; v1.0 is newer", "kept: Europe, v1.0"}},
      {{"Game (Europe) (Rev A).sms", "Game (Europe) (Rev B).sms"},
       {"dropped: Europe, Rev A; Rev B is newer", "kept: Europe, Rev B"}},
      {{"Game (Europe) (v1.1).sms", "Game (USA) (v1.2).sms"},
       {"kept: Europe, v1.1", "dropped: USA, v1.2; Europe preferred"}},
      // Never a bad dump, not even the only one.
      {{"Game (Europe) [b1].sms", "Game (Japan).sms"},
       {"dropped: Europe, bad dump; a bad dump is never kept", "kept: Japan"}},
      {{"Game (Europe) [b1].sms", "Game (Europe) [b2].sms"},
       {"dropped: Europe, bad dump; a bad dump is never kept",
        "dropped: Europe, bad dump; a bad dump is never kept"}},
      // Betas, prototypes, demos, samples, pirates and hacks only when
      // there is nothing else, and then the latest stage.
      {{"Game (USA) (Proto).sms", "Game (Japan) (Demo).sms", "Game (Korea) (Sample).sms",
        "Game (Asia) (Pirate).sms", "Game (Europe) (Hack).sms", "Game (Brazil).sms"},
       {"dropped: USA, Proto; the release preferred", "dropped: Japan, Demo; the release preferred",
        "dropped: Korea, Sample; the release preferred",
        "dropped: Asia, Pirate; the release preferred",
        "dropped: Europe, Hack; the release preferred", "kept: Brazil"}},
      {{"Game (Beta).sms", "Game (Beta 2).sms"},
       {"dropped: no region, Beta; a later stage preferred",
        "kept: no region, Beta 2; the game has no release"}},
      {{"Game (USA) (Beta).sms", "Game (Europe) (Beta).sms"},
       {"dropped: USA, Beta; Europe preferred", "kept: Europe, Beta; the game has no release"}},
      {{"Game (USA) (Proto).sms"}, {"kept: USA, Proto"}},
      // Hacks by their flags: [h], trainers [t] and translations [T+].
      {{"Game (Europe) [h1].sms", "Game (Japan) [T+Eng].sms", "Game (Japan) [t1].sms",
        "Game (Japan).sms"},
       {"dropped: Europe, Hack; the release preferred",
        "dropped: Japan, Hack; the release preferred",
        "dropped: Japan, Hack; the release preferred", "kept: Japan"}},
      // Unlicensed games are releases.
      {{"Game (Brazil) (Unl).sms", "Game (USA) (Proto).sms"},
       {"kept: Brazil, Unl", "dropped: USA, Proto; the release preferred"}},
      // Then a verified dump, fewer flags, fewer other tags, the list.
      {{"Game (E).sms", "Game (E) [!].sms"},
       {"dropped: Europe; the verified dump preferred", "kept: Europe, verified"}},
      {{"Game (E) [a1].sms", "Game (E) [o1].sms", "Game (E).sms"},
       {"dropped: Europe; fewer flags preferred", "dropped: Europe; fewer flags preferred",
        "kept: Europe"}},
      {{"Game (USA, Europe) (Virtual Console).sms", "Game (USA, Europe).sms"},
       {"dropped: USA, Europe; fewer tags preferred", "kept: USA, Europe"}},
      {{"Game (Europe).gg", "Game (Europe).sms"},
       {"kept: Europe", "dropped: Europe; the same version comes earlier in the list"}},
      // Games by title, case aside; parts of a game are games of their own.
      {{"SONIC (Japan).sms", "Sonic (Europe).sms"},
       {"dropped: Japan; Europe preferred", "kept: Europe"}},
      {{"Legend of Zelda, The (Europe).sms", "The Legend of Zelda (Europe).sms"},
       {"kept: Europe", "kept: Europe"}},
      {{"Game (Disc 1) (Europe).sms", "Game (Disc 1) (Japan).sms", "Game (Disc 2) (Japan).sms"},
       {"kept: Europe", "dropped: Japan; Europe preferred", "kept: Japan"}},
      // Zipped and gzipped sets by the names inside the archive's name.
      {{"Game (Japan).zip", "Game (Europe).sms.gz"},
       {"dropped: Japan; Europe preferred", "kept: Europe"}},
  };
  for (const SetCase& c : cases) expectReasons(choose(c.names, orderOf(c)), c.names, c.reasons);
}

TEST(OnePerGameTest, NamesGamesAndKeepsListOrder) {
  const std::vector<std::string> names = {"b (Japan).sms",     "a (Europe).sms", "B (Europe).sms",
                                          "a (Japan).sms",     "c (Disc 2).sms", "c (Disc 1).sms",
                                          "c (Disc 1) [!].sms"};
  const Choice choice = choose(names, defaultRegionOrder(""));
  EXPECT_EQ(choice.games, (std::vector<std::string>{"b", "a", "c (Disc 2)", "c (Disc 1)"}));
  std::vector<std::size_t> games;
  for (const FileChoice& file : choice.files) games.push_back(file.game);
  EXPECT_EQ(games, (std::vector<std::size_t>{0, 1, 0, 1, 2, 3, 3}));
  EXPECT_EQ(choice.kept(), (std::vector<std::size_t>{1, 2, 4, 6}));
}

TEST(OnePerGameTest, WithADatGroupsByParentsAndClonesAndKeepsWhatItDoesNotKnow) {
  const Dat dat = parseDat(testing::kSampleXml);
  const auto identified = [](std::size_t game, bool bad = false,
                             std::optional<std::size_t> duplicateOf = std::nullopt) {
    Identity identity;
    identity.found = Found::Identified;
    identity.game = game;
    identity.badDump = bad;
    identity.duplicateOf = duplicateOf;
    identity.extension = ".sms";
    return identity;
  };
  Identity unknown, unreadable;
  unreadable.found = Found::Unreadable;
  unreadable.problem = "Cannot be unpacked: Unrecognized archive format";
  // The files' own names say nothing: the DAT's names of their games count.
  const std::vector<std::string> names = {"a.sms", "b.sms", "c.sms", "d.sms",
                                          "e.sms", "f.sms", "g.zip"};
  const std::vector<Identity> identities = {
      identified(0),       identified(1),           identified(2), unknown,
      identified(3, true), identified(0, false, 0), unreadable};
  expectReasons(
      choose(names, defaultRegionOrder(""), dat, identities), names,
      {"kept: USA, Europe", "dropped: Japan; USA, Europe preferred",
       "dropped: USA, Beta; the release preferred", "kept: not in the DAT",
       "dropped: Europe; a bad dump is never kept", "dropped: USA, Europe; the same ROM as a.sms",
       "kept: could not be read (Cannot be unpacked: Unrecognized archive format)"});
  const Choice japanese = choose(names, parseRegionOrder("JPN", ""), dat, identities);
  expectReasons(
      japanese, names,
      {"dropped: USA, Europe; Japan preferred", "kept: Japan",
       "dropped: USA, Beta; the release preferred", "kept: not in the DAT",
       "dropped: Europe; a bad dump is never kept", "dropped: USA, Europe; Japan preferred",
       "kept: could not be read (Cannot be unpacked: Unrecognized archive format)"});
  EXPECT_EQ(japanese.games, (std::vector<std::string>{"Sonic the Hedgehog (USA, Europe)", "d.sms",
                                                      "Bad Game (Europe)", "g.zip"}));
  EXPECT_EQ(japanese.kept(), (std::vector<std::size_t>{1, 3, 6}));
}

}  // namespace
}  // namespace kavo::catalog
