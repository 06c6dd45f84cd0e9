// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A listed folder made into what the export takes: one version of each
// game, by the names or by a DAT, the DAT's names for the index, and the
// report. (The export of it, end to end, is the command line's test.)
#include "catalog/selection.h"

#include <gtest/gtest.h>

#include "catalog/sample_dat.h"
#include "support/archive_files.h"
#include "support/error_of.h"
#include "support/export_fixture.h"

namespace kavo::catalog {
namespace {

using kavo::testing::ExportFixture;
using kavo::testing::Names;
using namespace kavo::catalog::testing;

class SelectionTest : public ExportFixture {
 protected:
  SelectionTest() {
    // A folder of the sample DAT's ROMs under names of the player's own,
    // one zipped, and one the DAT does not know.
    writeFile(source + "/sonic (USA, Europe).sms", kSonicUsaEurope);
    writeFile(source + "/sonic (Japan).sms", kSonicJapan);
    writeFile(source + "/sonic beta.sms", kSonicBeta);
    writeFile(source + "/bad.sms", kBadGame);
    writeFile(source + "/count.zip",
              kavo::testing::archiveBytes("zip", {{"count.sms", kCounting}}));
    writeFile(source + "/Homebrew (World).sms", kUnknownRom);
  }

  const Names listed = {"bad.sms",
                        "count.zip",
                        "Homebrew (World).sms",
                        "sonic (Japan).sms",
                        "sonic (USA, Europe).sms",
                        "sonic beta.sms"};

  Selection selected(bool onePerGame, bool withDat, bool datNames,
                     const std::string& order = "Europe") {
    SelectionRequest request;
    request.onePerGame = onePerGame;
    request.order = parseRegionOrder(order, "");
    request.datNames = datNames;
    std::optional<Dat> dat;
    if (withDat) dat = parseDat(kSampleXml);
    return select(files, source, listed, request, std::move(dat));
  }
};

// What the export takes and names, for each way of asking.
TEST_F(SelectionTest, TakesTheVersionsKeptUnderTheNamesAskedFor) {
  const struct {
    bool onePerGame, withDat, datNames;
    std::string order;
    Names names, recordNames;
  } cases[] = {
      // By the names alone: "sonic" and "sonic beta" are two titles.
      {true,
       false,
       false,
       "Europe",
       {"bad.sms", "count.zip", "Homebrew (World).sms", "sonic (USA, Europe).sms",
        "sonic beta.sms"},
       {}},
      {true,
       false,
       false,
       "Japan",
       {"bad.sms", "count.zip", "Homebrew (World).sms", "sonic (Japan).sms", "sonic beta.sms"},
       {}},
      // By the DAT: the three Sonic files are one game, the bad dump keeps
      // nothing, the unknown file is kept as it is.
      {true,
       true,
       false,
       "Europe",
       {"count.zip", "Homebrew (World).sms", "sonic (USA, Europe).sms"},
       {}},
      {true,
       true,
       true,
       "Japan",
       {"count.zip", "Homebrew (World).sms", "sonic (Japan).sms"},
       {"Counting Game (World).sms", "", "Sonic the Hedgehog (Japan).sms"}},
      // Every file, named as the DAT names it where it knows it.
      {false,
       true,
       true,
       "Europe",
       listed,
       {"Bad Game (Europe).sms", "Counting Game (World).sms", "", "Sonic the Hedgehog (Japan).sms",
        "Sonic the Hedgehog (USA, Europe).sms", "Sonic the Hedgehog (USA) (Beta).sms"}},
      {false, true, false, "Europe", listed, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(&c - cases));
    const Selection selection = selected(c.onePerGame, c.withDat, c.datNames, c.order);
    EXPECT_EQ(selection.listed, listed);
    EXPECT_EQ(selection.names, c.names);
    EXPECT_EQ(selection.recordNames, c.recordNames);
    EXPECT_EQ(selection.choice.has_value(), c.onePerGame);
    EXPECT_EQ(selection.identities.size(), c.withDat ? listed.size() : 0u);
  }
}

// The report is written whole, replacing what stood at its path (a link
// itself, not what it points to), never into the ROM folder, nor over a
// folder or the DAT it is made from.
TEST_F(SelectionTest, TheReportReplacesItsFileWholeAndNeverGoesIntoTheRomFolder) {
  const std::string report = root / "report.csv";
  writeFile(root / "elsewhere.txt", "the player's");
  where->makeLink(root / "elsewhere.txt", report);
  writeFile(report + ".simplekavo-new", "left by an interrupted run");
  writeReport(files, report, source, "Status\r\n");
  EXPECT_EQ(readFile(report), "Status\r\n");
  EXPECT_EQ(readFile(root / "elsewhere.txt"), "the player's");
  EXPECT_FALSE(exists(files, report + ".simplekavo-new"));

  makeDirectories(root / "folder");
  writeFile(root / "made-up.dat", "clrmamepro ( name \"x\" )");
  const struct {
    std::string path, reason;
  } refused[] = {
      {source + "/sonic.sms",
       "Lies in the ROM folder, where it could take a game's place and would be listed as a "
       "game the next time"},
      {source + "/new.csv",
       "Lies in the ROM folder, where it could take a game's place and would be listed as a "
       "game the next time"},
      {root / "folder", "Is a directory"},
      {root / "made-up.dat", "Is the DAT the report is made from"},
      {root / "missing/report.csv", "No such file or directory"},
  };
  const kavo::testing::Tree before = snapshot(root.path());
  for (const auto& c : refused) {
    const auto error = kavo::testing::errorOf<RunTimeError>(
        [&] { writeReport(files, c.path, source, "Status\r\n", root / "made-up.dat"); });
    ASSERT_TRUE(error) << c.path;
    EXPECT_EQ(error->path(), c.path);
    EXPECT_EQ(error->reason(), c.reason);
  }
  EXPECT_EQ(snapshot(root.path()), before);
}

}  // namespace
}  // namespace kavo::catalog
