// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/catalog_report.h"

#include <gtest/gtest.h>

#include "catalog/sample_dat.h"

namespace kavo::catalog {
namespace {

Identity identified(std::size_t game, bool bad = false,
                    std::optional<std::size_t> duplicateOf = std::nullopt) {
  Identity identity;
  identity.found = Found::Identified;
  identity.game = game;
  identity.badDump = bad;
  identity.duplicateOf = duplicateOf;
  return identity;
}

TEST(CatalogReportTest, CountsAndReportsEachGameOfTheDatAndEachUnknownFile) {
  const Dat dat = parseDat(testing::kSampleXml);
  Identity unknown, unreadable;
  unreadable.found = Found::Unreadable;
  unreadable.problem = "Cannot be unpacked: the archive is damaged";
  const std::vector<std::string> names = {"Sonic.sms", "Sonic, \"the\" copy.sms", "Japan.sms",
                                          "Bad.sms",   "=HYPERLINK(1).sms",       "-minus.sms",
                                          "broken.zip"};
  const std::vector<Identity> identities = {
      identified(0), identified(0, false, 0), identified(1), identified(3, true), unknown, unknown,
      unreadable};
  const CatalogCounts counts = countCatalog(dat, identities);
  EXPECT_EQ(summaryLine(counts), "2 of 7 games, 2 unknown, 1 bad dump, 1 duplicate, 1 unreadable");
  EXPECT_EQ(catalogReport(dat, names, identities),
            "Status,Game,Clone of,Files,Note\r\n"
            "duplicate,\"Sonic the Hedgehog (USA, Europe)\",,\"Sonic.sms | Sonic, \"\"the\"\" "
            "copy.sms\",the same ROM more than once\r\n"
            "identified,Sonic the Hedgehog (Japan),\"Sonic the Hedgehog (USA, Europe)\",Japan.sms,"
            "\r\n"
            "missing,Sonic the Hedgehog (USA) (Beta),Sonic the Hedgehog (Japan),,\r\n"
            "bad dump,Bad Game (Europe),,Bad.sms,the DAT marks this dump bad\r\n"
            "missing,Counting Game (World),,,\r\n"
            "missing,Missing Game (Europe),,,\r\n"
            "missing,Tom & Jerry (Europe),,,\r\n"
            "unknown,'=HYPERLINK(1).sms,,'=HYPERLINK(1).sms,\r\n"
            "unknown,'-minus.sms,,'-minus.sms,\r\n"
            "unreadable,broken.zip,,broken.zip,Cannot be unpacked: the archive is damaged\r\n");
}

TEST(CatalogReportTest, SummarySaysCountsAsPeopleReadThem) {
  const std::pair<CatalogCounts, const char*> cases[] = {
      {{344, 312, 9, 2, 0, 0}, "312 of 344 games, 9 unknown, 2 bad dumps"},
      {{1, 1, 0, 0, 0, 0}, "1 of 1 game, 0 unknown, 0 bad dumps"},
      {{0, 0, 3, 0, 0, 0}, "0 of 0 games, 3 unknown, 0 bad dumps"},
      {{2'344, 1'312, 1'000, 1, 2, 2'000},
       "1,312 of 2,344 games, 1,000 unknown, 1 bad dump, 2 duplicates, 2,000 unreadable"},
  };
  for (const auto& [counts, line] : cases) EXPECT_EQ(summaryLine(counts), line);
}

TEST(CatalogReportTest, CountsAGameHeldOnlyByBadDumpsAsNotHeld) {
  const Dat dat = parseDat(testing::kSampleXml);
  const CatalogCounts counts =
      countCatalog(dat, {identified(3, true), identified(3, true, 0), identified(4),
                         identified(4, false, 2), identified(5)});
  EXPECT_EQ(counts.games, 7u);
  EXPECT_EQ(counts.held, 2u);
  EXPECT_EQ(counts.badDumps, 2u);
  EXPECT_EQ(counts.duplicates, 2u);
}

}  // namespace
}  // namespace kavo::catalog
