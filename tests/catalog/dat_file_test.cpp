// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/dat_file.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "catalog/sample_dat.h"
#include "support/error_of.h"

namespace kavo::catalog {
namespace {

using kavo::testing::errorOf;

std::string hex(const Sha1& sha1) {
  std::string text;
  char digits[3];
  for (const std::uint8_t byte : sha1) {
    std::snprintf(digits, sizeof digits, "%02x", byte);
    text += digits;
  }
  return text;
}

// A DAT in lines, one a game and one a ROM, with every field read.
std::string render(const Dat& dat) {
  std::string text = dat.name + " | " + dat.description + " | " + dat.version + "\n";
  for (const DatGame& game : dat.games) {
    text += game.name + " | " + game.description + " | clone of " + game.cloneOf + " | game of " +
            dat.games.at(game.parent).name + "\n";
    for (const DatRom& rom : game.roms) {
      char crc[9] = "-";
      if (rom.crc32) std::snprintf(crc, sizeof crc, "%08x", *rom.crc32);
      text += "  " + rom.name + " | " + std::to_string(rom.size) + " | " + crc + " | " +
              (rom.sha1 ? hex(*rom.sha1) : "-") +
              (rom.status == RomStatus::BadDump  ? " | bad dump"
               : rom.status == RomStatus::NoDump ? " | no dump"
                                                 : "") +
              "\n";
    }
  }
  return text;
}

TEST(DatFileTest, ReadsBothFormatsAlike) {
  const std::string expected =
      "Sega - Master System - Mark III | Sega - Master System - Mark III (20260101) | 20260101\n"
      "Sonic the Hedgehog (USA, Europe) | Sonic the Hedgehog (USA, Europe) | clone of  | "
      "game of Sonic the Hedgehog (USA, Europe)\n"
      "  Sonic the Hedgehog (USA, Europe).sms | 1024 | a6b705af | "
      "5fbf452447aa004d69cbad6ede2a88544ec63beb\n"
      "Sonic the Hedgehog (Japan) | Sonic the Hedgehog (Japan) | clone of Sonic the Hedgehog "
      "(USA, Europe) | game of Sonic the Hedgehog (USA, Europe)\n"
      "  Sonic the Hedgehog (Japan).sms | 704 | ddb6677a | "
      "3ba87a3e0e65507fae6b92f2c72df65755422557\n"
      "Sonic the Hedgehog (USA) (Beta) | Sonic the Hedgehog (USA) (Beta) | clone of Sonic the "
      "Hedgehog (Japan) | game of Sonic the Hedgehog (USA, Europe)\n"
      "  Sonic the Hedgehog (USA) (Beta).sms | 640 | 653b760b | "
      "d1bc00d8bebd44e15f9225c673a0500e61cab69d\n"
      "Bad Game (Europe) | Bad Game (Europe) | clone of  | game of Bad Game (Europe)\n"
      "  Bad Game (Europe).sms | 512 | 280ee893 | - | bad dump\n"
      "Counting Game (World) | Counting Game (World) | clone of  | game of Counting Game (World)\n"
      "  Counting Game (World).sms | 9 | cbf43926 | -\n"
      "Missing Game (Europe) | Missing Game (Europe) | clone of  | game of Missing Game (Europe)\n"
      "  Missing Game (Europe).sms | 2048 | 12345678 | 0123456789abcdef0123456789abcdef01234567\n"
      "Tom & Jerry (Europe) | Tom & Jerry (Europe) | clone of  | game of Tom & Jerry (Europe)\n"
      "  Tom & Jerry (Europe).sms | 131072 | - | - | no dump\n";
  EXPECT_EQ(render(parseDat(testing::kSampleXml)), expected);
  EXPECT_EQ(render(parseDat(testing::kSampleCmpro)), expected);
  // A byte order mark before either is nothing, and blanks before the text.
  EXPECT_EQ(render(parseDat("\xEF\xBB\xBF" + std::string(testing::kSampleXml))), expected);
  EXPECT_EQ(render(parseDat("\xEF\xBB\xBF\n " + std::string(testing::kSampleCmpro))), expected);
}

TEST(DatFileTest, ClonesWhoseChainBreaksOrGoesRoundAreTheirOwnGames) {
  const Dat dat = parseDat(R"(<datafile>
    <game name="a" cloneof="b"/><game name="b" cloneof="a"/>
    <game name="c" cloneof="nowhere"/><game name="d" cloneof="c"/>
    <game name="e" cloneof="e"/><game name="f" cloneof="a"/></datafile>)");
  std::string parents;
  for (const DatGame& game : dat.games) parents += dat.games[game.parent].name;
  EXPECT_EQ(parents, "abccef");
}

// Games as many as wanted, in clrmamepro's format.
std::string manyGames(std::size_t count, const std::string& rom = "") {
  std::string text;
  for (std::size_t i = 0; i < count; ++i)
    text += "game ( name g" + std::to_string(i) + rom + " )\n";
  return text;
}

std::string manyRoms(std::size_t count) {
  std::string text;
  for (std::size_t i = 0; i < count; ++i) text += " rom ( name r size 1 )\n";
  return text;
}

std::string nested(std::size_t depth) {
  std::string text = "<datafile>";
  for (std::size_t i = 0; i < depth; ++i) text += "<x>";
  for (std::size_t i = 0; i < depth; ++i) text += "</x>";
  return text + "</datafile>";
}

// Ten entities, each ten of the one before: a thousand million "lol"s, in
// `use`.
std::string billionLaughs(const std::string& use) {
  std::string text = "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile [\n<!ENTITY l0 \"lol\">\n";
  for (int i = 1; i <= 10; ++i) {
    text += "<!ENTITY l" + std::to_string(i) + " \"";
    for (int j = 0; j < 10; ++j) text += "&l" + std::to_string(i - 1) + ";";
    text += "\">\n";
  }
  return text + "]>\n<datafile>" + use + "</datafile>\n";
}

TEST(DatFileTest, RefusesHostileAndBrokenDatsNamingTheLine) {
  struct Case {
    std::string text;
    std::size_t line;
    std::string reason;
  };
  const std::string longName(DatLimits::kNameBytes + 1, 'A');
  const Case cases[] = {
      // Nothing is read from outside the file.
      {"<?xml version=\"1.0\"?>\n<!DOCTYPE datafile [\n<!ENTITY x SYSTEM "
       "\"file:///etc/passwd\">\n]>\n<datafile><game name=\"&x;\"/></datafile>",
       3, "declares the entity \"x\", which would be read from outside the file"},
      {"<!DOCTYPE datafile [\n<!ENTITY % p SYSTEM \"http://example.org/p.dtd\">\n%p;\n]>"
       "<datafile/>",
       2, "declares the entity \"p\", which would be read from outside the file"},
      {"<!DOCTYPE datafile [ <!ENTITY i PUBLIC \"-//X//Y//EN\" \"y.xml\"> ]>\n<datafile/>", 1,
       "declares the entity \"i\", which would be read from outside the file"},
      {"<!DOCTYPE datafile SYSTEM \"http://example.org/datafile.dtd\">\n<datafile>\n"
       "<game name=\"g\"><description>&outside;</description></game></datafile>",
       3, "refers to the entity \"outside\", which is not declared in the file"},
      // Entities declared inside may not explode.
      {billionLaughs("<ignored>&l10;</ignored>"), 15, "entities expand too far"},
      {billionLaughs("<game name=\"&l10;\"/>"), 15, "entities expand too far"},
      {billionLaughs("<header><name>&l10;</name></header>"), 15,
       "a text is longer than 4,096 bytes"},
      // Sizes and counts.
      {"<datafile>\n<game name=\"" + longName + "\"/></datafile>", 2,
       "a game's name is longer than 1,024 bytes"},
      {"game (\n name \"" + longName + "\" )", 2, "a game's name is longer than 1,024 bytes"},
      {"<datafile><game name=\"g\">\n<rom name=\"" + longName + "\" size=\"1\"/></game></datafile>",
       2, "a ROM's name is longer than 1,024 bytes"},
      {"<datafile><game name=\"g\"><description>" + std::string(5000, 'd') +
           "</description></game></datafile>",
       1, "a text is longer than 4,096 bytes"},
      {"game ( name \"" + std::string(5000, 'd') + "\" )", 1,
       "a quoted text is longer than 4,096 bytes"},
      {"game ( name " + std::string(5000, 'd') + " )", 1, "a word is longer than 4,096 bytes"},
      {nested(DatLimits::kDepth), 1, "elements inside one another more than 16 deep"},
      {"x ( " + std::string(4 * DatLimits::kDepth, '(') + " )", 1,
       "blocks inside one another more than 16 deep"},
      {manyGames(DatLimits::kGames + 1), DatLimits::kGames + 1, "more than 100,000 games"},
      {"game ( name g\n" + manyRoms(DatLimits::kRomsPerGame + 1) + ")", DatLimits::kRomsPerGame + 2,
       "game \"g\" has more than 1,000 ROMs"},
      // What is not a DAT.
      {"<html>\n<body/></html>", 1, "<html> is not a DAT file's first element (<datafile>)"},
      {"<datafile>\n<game name=\"x\">\n</datafile>", 3, "mismatched tag"},
      {"<datafile>\n<game name=\"x\">", 2, "no element found"},
      {"hello world", 1, "neither XML nor a clrmamepro DAT"},
      {"", 1, "the file is empty"},
      {" \n \n", 3, "the file is empty"},
      {"game (\n name x\n rom ( name r size 1 )\n", 1, "the block that starts here is not closed"},
      {"game (\n name \"x\n)", 2, "a quoted text is not closed"},
      {"game ( name x ) )", 1, "expected a block's name (clrmamepro, game), found \")\""},
      {"game ( name x )\ngame name", 2, "expected \"(\" after \"game\""},
      {"game ( name ) ", 1, "\"name\" is followed by \")\" instead of its value"},
      // What a DAT must say, as it must say it.
      {"<datafile>\n<game/>\n</datafile>", 2, "a game has no name"},
      {"<datafile><game name=\"x\"/>\n<game name=\"x\"/></datafile>", 2,
       "game \"x\" is listed twice"},
      {"<datafile><game name=\"a&#9;b\"/></datafile>", 1,
       "a game's name \"a\\x09b\" holds a control character"},
      {std::string("game ( name a\0b )", 17), 1,
       "a game's name \"a\\x00b\" holds a control character"},
      {std::string("game ( name \0 )", 15), 1, "a game's name"},
      {"<datafile><game name=\"g\">\n<rom size=\"1\"/></game></datafile>", 2,
       "a ROM of \"g\" has no name"},
      {"<datafile><game name=\"g\">\n<rom name=\"r\" crc=\"00000000\"/></game></datafile>", 2,
       "ROM \"r\" has no size"},
      {"game ( name g rom ( name r size 12a ) )", 1, "size \"12a\" is not a number of bytes"},
      {"game ( name g rom ( name r size 99999999999999999999 ) )", 1,
       "size \"99999999999999999999\" is not a number of bytes"},
      {"game ( name g rom ( name r size 1 crc 123456789 ) )", 1,
       "crc \"123456789\" is not a CRC32 (8 hexadecimal digits)"},
      {"game ( name g rom ( name r size 1 crc 1234567g ) )", 1,
       "crc \"1234567g\" is not a CRC32 (8 hexadecimal digits)"},
      {"game ( name g rom ( name r size 1 sha1 0123 ) )", 1,
       "sha1 \"0123\" is not a SHA-1 (40 hexadecimal digits)"},
      {"game ( name g rom ( name r size 1 sha1 " + std::string(39, '0') + "x ) )", 1,
       "sha1 \"" + std::string(39, '0') + "x\" is not a SHA-1 (40 hexadecimal digits)"},
  };
  for (const Case& c : cases) {
    const std::string shown = c.text.substr(0, 80);
    const auto error = errorOf<DatError>([&] { parseDat(c.text); });
    ASSERT_TRUE(error) << shown;
    EXPECT_EQ(error->reason().substr(0, c.reason.size()), c.reason) << shown;
    EXPECT_EQ(error->line(), c.line) << shown << ": " << error->what();
    EXPECT_EQ(std::string(error->what()),
              "line " + std::to_string(error->line()) + ": " + error->reason());
  }
}

TEST(DatFileTest, TakesEntitiesDeclaredInsideWithinBounds) {
  const Dat dat = parseDat(
      "<!DOCTYPE datafile [ <!ENTITY sms \"Sega Master System\"> ]>\n"
      "<datafile><header><name>&sms; &amp; &#x47;ame Gear</name></header>"
      "<game name=\"&sms; BIOS\"/></datafile>");
  EXPECT_EQ(dat.name, "Sega Master System & Game Gear");
  EXPECT_EQ(dat.games.at(0).name, "Sega Master System BIOS");
}

}  // namespace
}  // namespace kavo::catalog
