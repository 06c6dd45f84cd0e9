// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/set_name.h"

#include <gtest/gtest.h>

namespace kavo::catalog {
namespace {

// A set name taken apart, in one line: the title, what describe() says, and
// whatever else was found.
std::string summary(const SetName& name) {
  std::string text = name.title + " | " + describe(name);
  if (!name.languages.empty()) text += " | languages " + name.languages;
  if (name.flags > 0) text += " | flags " + std::to_string(name.flags);
  if (!name.part.empty()) text += " | part " + name.part;
  for (const std::string& tag : name.otherTags) text += " | other " + tag;
  return text;
}

struct NameCase {
  const char* stem;
  const char* expected;
};

TEST(SetNameTest, TakesNamesApartAsTheSetsWriteThem) {
  const NameCase cases[] = {
      // No-Intro
      {"Sonic the Hedgehog (USA, Europe)", "Sonic the Hedgehog | USA, Europe"},
      {"Sonic the Hedgehog (USA, Europe) (Rev 1)", "Sonic the Hedgehog | USA, Europe, Rev 1"},
      {"Alex Kidd in Miracle World (Europe) (En,Fr,De) (Beta 2)",
       "Alex Kidd in Miracle World | Europe, Beta 2 | languages En,Fr,De"},
      {"Game (Japan) (En,Zh-Hant)", "Game | Japan | languages En,Zh-Hant"},
      {"Game (World) (v1.1)", "Game | World, v1.1"},
      {"Game (Europe) (Rev A)", "Game | Europe, Rev A"},
      {"Game (Brazil) (Unl)", "Game | Brazil, Unl"},
      {"Game (USA) (Proto)", "Game | USA, Proto"},
      {"Game (USA) (Prototype 2)", "Game | USA, Proto 2"},
      {"Game (Japan) (Beta 2 Final)", "Game | Japan, Beta 2"},
      {"Game (Japan) (Beta) (2002-05-05)", "Game | Japan, Beta | other (2002-05-05)"},
      {"Game (Europe) (Demo)", "Game | Europe, Demo"},
      {"Game (Korea) (Sample)", "Game | Korea, Sample"},
      {"Game (Asia) (Pirate)", "Game | Asia, Pirate"},
      {"Game (Europe) (Hack)", "Game | Europe, Hack"},
      {"Game (USA, Europe) (Virtual Console)", "Game | USA, Europe | other (Virtual Console)"},
      {"Game (Germany)", "Game | Germany"},
      // Codes in capitals are regions, the same letters otherwise languages.
      {"Game (DE)", "Game | Germany"},
      {"Game (De)", "Game | no region | languages De"},
      {"Game (NO)", "Game | Norway"},
      // A word that is neither stays, with its brackets.
      {"Game (Moon)", "Game | no region | other (Moon)"},
      // TOSEC: dates and publishers as tags, two-letter regions joined by "-",
      // the version after the title.
      {"Wonder Boy (1986)(Sega)(EU)[!]",
       "Wonder Boy | Europe, verified | other (1986) | other (Sega)"},
      {"Game (1990)(Sega)(US-EU)(en-fr)",
       "Game | USA, Europe | languages en-fr | other (1990) | other (Sega)"},
      {"Legend of Zelda, The v1.1 (USA)", "Legend of Zelda, The | USA, v1.1"},
      {"Game (1991)(Sega)(Disk 1 of 2)",
       "Game | no region | part Disk 1 of 2 | other (1991) | "
       "other (Sega)"},
      // GoodTools: one-letter regions, run together too, and flags.
      {"Game (E) [!]", "Game | Europe, verified"},
      {"Game (JU) [b1]", "Game | Japan, USA, bad dump | flags 1"},
      {"Game (UE) [a1][o]", "Game | USA, Europe | flags 2"},
      {"Game (E) [h1C]", "Game | Europe, Hack | flags 1"},
      {"Game (E) [t1]", "Game | Europe, Hack | flags 1"},
      {"Game (E) [T+Eng]", "Game | Europe, Hack | flags 1"},
      {"Game (U) [p1]", "Game | USA, Pirate | flags 1"},
      {"Game (U) [hack]", "Game | USA | other [hack]"},
      // Where the title is.
      {"[BIOS] Sega Master System (USA) (v1.3)", "Sega Master System | USA, v1.3 | other [BIOS]"},
      {"(Beta)", "(Beta) | no region, Beta"},
      {"  Spaced Out  (Europe)", "Spaced Out | Europe"},
      {"Game (Europe) extra words", "Game | Europe | other extra words"},
      {"Game (Europe", "Game | no region | other (Europe"},
      {"Game", "Game | no region"},
      {"Xenon 2 v2", "Xenon 2 | no region, v2"},
  };
  for (const NameCase& c : cases) EXPECT_EQ(summary(parseSetName(c.stem)), c.expected) << c.stem;
}

TEST(SetNameTest, OrdersVersionsNumberByNumber) {
  // Each name's version or revision is older than the next one's.
  const std::vector<std::vector<const char*>> orders = {
      {"Game", "Game (v1.0)", "Game (v1.1)", "Game (v1.1a)", "Game (v1.9)", "Game (v1.10)",
       "Game (v2)"},
      {"Game (v1.1)", "Game (v1.02)"},  // numbers, not decimals: 02 is 2
      {"Game", "Game (Rev 1)", "Game (Rev 2)"},
      {"Game", "Game (Rev A)", "Game (Rev B)"},
  };
  for (const auto& order : orders) {
    for (std::size_t i = 1; i < order.size(); ++i) {
      const SetName older = parseSetName(order[i - 1]), newer = parseSetName(order[i]);
      EXPECT_TRUE(older.version < newer.version ||
                  (older.version == newer.version && older.revision < newer.revision))
          << order[i - 1] << " before " << order[i];
    }
  }
}

TEST(SetNameTest, GroupsByTitleAndPartButCaseOnly) {
  const auto key = [](const char* stem) { return gameKey(parseSetName(stem)); };
  EXPECT_EQ(key("SONIC the Hedgehog (Japan)"), key("Sonic the hedgehog (USA, Europe) [b1]"));
  EXPECT_EQ(key("Legend of Zelda, The v1.1 (USA)"), key("Legend of Zelda, The (Europe)"));
  EXPECT_NE(key("Legend of Zelda, The (USA)"), key("The Legend of Zelda (USA)"));
  EXPECT_NE(key("Sonic the Hedgehog (USA)"), key("Sonic the Hedgehog 2 (USA)"));
  EXPECT_NE(key("Game (Disc 1)"), key("Game (Disc 2)"));
  EXPECT_EQ(key("Game (Disc 1) (USA)"), key("Game (Europe) (Disc 1)"));
}

TEST(SetNameTest, StemLeavesWhatIsNoExtension) {
  const std::pair<const char*, const char*> cases[] = {
      {"Sonic (USA).sms", "Sonic (USA)"},
      {"Dr. Robotnik's Mean Bean Machine (USA)", "Dr. Robotnik's Mean Bean Machine (USA)"},
      {"Dr. Robotnik's Mean Bean Machine (USA).gg", "Dr. Robotnik's Mean Bean Machine (USA)"},
      {"Game (USA).sms.gz", "Game (USA)"},
      {"Game (USA).GZ", "Game (USA)"},
      {"Game", "Game"},
  };
  for (const auto& [name, stem] : cases) EXPECT_EQ(stemOf(name), stem) << name;
}

}  // namespace
}  // namespace kavo::catalog
