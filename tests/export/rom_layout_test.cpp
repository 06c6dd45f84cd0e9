// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/rom_layout.h"

#include <gtest/gtest.h>

namespace kavo::layout {
namespace {

TEST(RomLayout, WorkedExampleIsFortyEightBytes) {
  std::string records = record("Alpha.sms", 0) + record("Beta Game.gg", 1);
  EXPECT_EQ(records, "Alpha.sms,ROMS0\\0.sms\nBeta Game.gg,ROMS0\\1.gg\n");
  EXPECT_EQ(records.size(), 46u);
  EXPECT_EQ(paddingLength(records.size()), 2u);
}

TEST(RomLayout, Records) {
  struct Case {
    std::string name;
    std::size_t index;
    std::string expected;
  };
  const Case cases[] = {
      {"Alpha.sms", 0, "Alpha.sms,ROMS0\\0.sms\n"},
      {"x.sms", 29, "x.sms,ROMS0\\29.sms\n"},
      {"Kid Hero.sms", 30, "Kid Hero.sms,ROMS1\\30.sms\n"},
      {"x.sms", 45, "x.sms,ROMS1\\45.sms\n"},
      {"x.sms", 59, "x.sms,ROMS1\\59.sms\n"},
      {"x.sms", 60, "x.sms,ROMS2\\60.sms\n"},
      {"x.gg", 39999, "x.gg,ROMS1333\\39999.gg\n"},
      {"Two.Dots.gg", 0, "Two.Dots.gg,ROMS0\\0.gg\n"},
      {".sms", 0, ".sms,ROMS0\\0.sms\n"},
      {"Demo.", 0, "Demo.,ROMS0\\0.\n"},
      {"README", 3, "README,ROMS0\\3README\n"},
      {"Mixed.SmS", 1, "Mixed.SmS,ROMS0\\1.SmS\n"},
      {"Sonic, the Hedgehog (E).sms", 2, "Sonic, the Hedgehog (E).sms,ROMS0\\2.sms\n"},
      {"Caf\u00e9.sms", 0, "Caf\xe9.sms,ROMS0\\0.sms\n"},
      {"\u20acuro.gg", 0, "\x80uro.gg,ROMS0\\0.gg\n"},
      {"\u65e5\u672c.sms", 0, "??.sms,ROMS0\\0.sms\n"},
      {"rom.\u00e9", 4, "rom.\xe9,ROMS0\\4.\xe9\n"},
      {"\xff\xfe bad.sms", 0, "\xff\xfe bad.sms,ROMS0\\0.sms\n"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(record(c.name, c.index), c.expected) << c.name << " at " << c.index;
  }
}

TEST(RomLayout, CopyNamesAreUpperCasedIndexAndExtension) {
  struct Case {
    std::string name;
    std::size_t index;
    std::string expected;
  };
  const Case cases[] = {
      {"Alpha.sms", 0, "0.SMS"},
      {"Kid Hero.sms", 30, "30.SMS"},
      {"x.gg", 45, "45.GG"},
      {"Two.Dots.gg", 7, "7.GG"},
      {".sms", 0, "0.SMS"},
      {"Demo.", 8, "8."},
      {"README", 3, "3README"},
      {"readme", 3, "3README"},
      // Only ASCII letters change; the bytes of other characters are kept.
      {"rom.\u00e9x", 2, "2.\u00e9X"},
      {"\xff.sms", 1, "1.SMS"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(copyFileName(c.name, c.index), c.expected) << c.name;
  }
}

TEST(RomLayout, PaddingBringsTheFileToAMultipleOfSixteen) {
  const std::pair<std::uint64_t, std::size_t> cases[] = {
      {0, 16}, {1, 15}, {15, 1}, {16, 16}, {17, 15}, {32, 16}, {46, 2}, {1'000'000'007, 9}};
  for (auto [records, spaces] : cases) {
    EXPECT_EQ(paddingLength(records), spaces) << records << " bytes";
    EXPECT_EQ((records + spaces) % 16, 0u);
  }
}

TEST(RomLayout, GroupDirectoriesRunFromZeroToCountOverThirty) {
  const std::pair<std::size_t, std::vector<std::string>> cases[] = {
      {0, {"ROMS0"}},
      {1, {"ROMS0"}},
      {29, {"ROMS0"}},
      {30, {"ROMS0", "ROMS1"}},
      {31, {"ROMS0", "ROMS1"}},
      {59, {"ROMS0", "ROMS1"}},
      {60, {"ROMS0", "ROMS1", "ROMS2"}},
  };
  for (const auto& [count, names] : cases) {
    EXPECT_EQ(groupDirectoryNames(count), names) << count << " names";
  }
  std::vector<std::string> many = groupDirectoryNames(40'000);
  ASSERT_EQ(many.size(), 1334u);
  EXPECT_EQ(many.back(), "ROMS1333");
  EXPECT_EQ(groupNumberOf(29), 0u);
  EXPECT_EQ(groupNumberOf(30), 1u);
  EXPECT_EQ(groupNumberOf(39'999), 1333u);
}

TEST(RomLayout, IndexPathUpperCasesOnlyTheFileName) {
  const std::pair<std::string, std::string> cases[] = {
      {"/home/ana/out/files.txt", "/home/ana/out/FILES.TXT"},
      {"/media/ana/usb/FILES.TXT", "/media/ana/usb/FILES.TXT"},
      {"files.txt", "FILES.TXT"},
      {"//files.txt", "//FILES.TXT"},
      {"/home/ana/out/", "/home/ana/out/"},
      {"/Data/\u00edndex.txt", "/Data/\u00edNDEX.TXT"},
  };
  for (const auto& [answer, path] : cases) {
    EXPECT_EQ(indexPathFromAnswer(answer), path) << answer;
  }
}

}  // namespace
}  // namespace kavo::layout
