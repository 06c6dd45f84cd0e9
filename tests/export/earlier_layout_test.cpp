// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/earlier_layout.h"

#include <gtest/gtest.h>

#include <string>

#include "export/export_paths.h"
#include "export/rom_layout.h"
#include "export/windows1252.h"
#include "platform/services/run_time_error.h"
#include "support/error_of.h"
#include "support/memory_file_system.h"

namespace kavo::testing {
namespace {

TEST(EarlierLayout, GroupDirectoryNamesAreRomsAndADecimalNumber) {
  const struct {
    const char* name;
    std::optional<std::size_t> group;
  } cases[] = {{"ROMS0", 0},
               {"ROMS12", 12},
               {"ROMS", std::nullopt},
               {"ROMS01", std::nullopt},
               {"roms0", std::nullopt},
               {"ROMS1a", std::nullopt},
               {"ROMS-1", std::nullopt},
               {"XROMS1", std::nullopt}};
  for (const auto& c : cases) EXPECT_EQ(groupNumberOfDirectoryName(c.name), c.group) << c.name;
}

TEST(EarlierLayout, CopyNamesAreAnIndexOfTheGroupAndAnUpperCasedExtension) {
  const struct {
    const char* name;
    std::size_t group;
    bool ours;
  } cases[] = {
      {"0.SMS", 0, true},     {"29.GG", 0, true},   {"30.GG", 0, false}, {"30.GG", 1, true},
      {"2README", 0, true},  // a source without a dot
      {"125", 0, true},      // index 12 of "5", or 1 of "25"
      {"0.sms", 0, false},    {"00.SMS", 0, false}, {"A.SMS", 0, false}, {"0", 0, false},
      {"0.TAR.GZ", 0, false}, {"5.", 0, true},      {"", 0, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(isCopyNameInGroup(c.name, c.group), c.ours) << c.name << " in " << c.group;
}

TEST(EarlierLayout, FindsTheGroupsAndCopiesOfAnEarlierExport) {
  MemoryFileSystem files;
  const Folder& dir = files.root();
  EXPECT_TRUE(findEarlierLayout(files, dir.path()).empty());
  files.writeFile(dir / "FILES.TXT", "records");
  files.writeFile(dir / "ROMS-notes.txt", "the user's");
  files.makeDirectories(dir / "ROMS1");
  files.makeDirectories(dir / "ROMS0");
  files.makeDirectories(dir / "roms7");  // not a name this program makes
  files.writeFile(dir / "ROMS0/0.SMS", "a");
  files.writeFile(dir / "ROMS0/1.GG", "b");
  files.writeFile(dir / "ROMS1/30.SMS", "c");
  // What an interrupted replace left, told apart from the groups.
  files.makeDirectories(dir / "ROMS2.simplekavo-new");
  files.writeFile(dir / "ROMS2.simplekavo-new/61.SMS", "d");
  files.makeDirectories(dir / "ROMS0.simplekavo-old");
  const EarlierLayout found = findEarlierLayout(files, dir.path());
  ASSERT_EQ(found.groups.size(), 2u);
  EXPECT_EQ(found.groups[0].name, "ROMS0");
  EXPECT_EQ(found.groups[1].number, 1u);
  EXPECT_EQ(found.copies(), 3u);
  ASSERT_NE(found.copy(0, "1.GG"), nullptr);
  EXPECT_EQ(found.copy(0, "1.GG")->status.size, 1u);
  EXPECT_EQ(found.copy(1, "1.GG"), nullptr);
  EXPECT_EQ(found.copy(2, "61.SMS"), nullptr);  // a leftover is not an earlier copy
  ASSERT_EQ(found.leftovers.size(), 2u);
  EXPECT_EQ(found.leftovers[0].name, waitingName("ROMS0", Waiting::Retired));
  EXPECT_EQ(found.leftovers[1].name, waitingName("ROMS2", Waiting::Staged));
  EXPECT_EQ(found.leftovers[1].copies.size(), 1u);

  files.writeFile(dir / "ROMS2.simplekavo-new/notes.txt", "the user's");
  auto error = errorOf([&] { findEarlierLayout(files, dir.path()); });
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->path().ends_with("/ROMS2.simplekavo-new/notes.txt")) << error->path();
}

// A listed name finds the list index its copy had when the earlier index
// names it once and the list names it once, compared as the index writes
// names.
TEST(EarlierLayout, ListedNamesFindTheirEarlierListIndexWhenUnambiguous) {
  const std::vector<EarlierRecord> earlier = {{"Sonic.sms", 0},
                                              {toWindows1252("Caf\u00e9.gg"), 1},
                                              {"Twice.gg", 2},
                                              {"Twice.gg", 3},
                                              {"?.sms", 4}};
  const std::vector<std::string> names = {"New.sms",  "Caf\u00e9.gg", "Sonic.sms",
                                          "Twice.gg", "\u03b1.sms",   "\u03b2.sms"};
  const std::vector<std::optional<std::size_t>> expected = {
      std::nullopt, 1,           0,
      std::nullopt,                 // twice in the earlier index
      std::nullopt, std::nullopt};  // both written "?.sms"
  EXPECT_EQ(earlierListIndices(names, earlier), expected);
}

// Anything in a group directory that this program would not have put there
// means the directory is not ours: the entry is named.
TEST(EarlierLayout, AForeignEntryInAGroupDirectoryIsNamed) {
  const struct {
    const char* what;
    void (*make)(TestFiles& files, const std::string& group);
  } cases[] = {
      {"a subdirectory",
       [](TestFiles& f, const std::string& g) { f.makeDirectories(g + "/5.SMS"); }},
      {"another name", [](TestFiles& f, const std::string& g) { f.writeFile(g + "/5.SMS", ""); }},
      {"a link", [](TestFiles& f, const std::string& g) { f.makeLink("0.SMS", g + "/1.SMS"); }},
  };
  for (const auto& c : cases) {
    MemoryFileSystem files;
    const Folder& dir = files.root();
    files.makeDirectories(dir / "ROMS1");
    files.writeFile(dir / "ROMS1/30.SMS", "a");
    if (std::string(c.what) == "a link") {
      files.makeDirectories(dir / "ROMS0");
      files.writeFile(dir / "ROMS0/0.SMS", "a");
      c.make(files, dir / "ROMS0");
    } else {
      c.make(files, dir / "ROMS1");
    }
    auto error = errorOf([&] { findEarlierLayout(files, dir.path()); });
    ASSERT_TRUE(error) << c.what;
    EXPECT_EQ(error->reason(), "Is not a copy of an earlier export") << c.what;
    EXPECT_TRUE(
        error->path().ends_with(std::string(c.what) == "a link" ? "/ROMS0/1.SMS" : "/ROMS1/5.SMS"))
        << error->path();
  }
}

// The records this program writes read back to the names and indices they
// were written for, commas in names and extensions included; any other file
// reads as nothing.
TEST(EarlierLayout, AnIndexThisProgramWroteReadsBackToItsRecords) {
  std::vector<std::string> names = {"Sonic.sms", "Caf\u00e9.gg", "README", "Game, The.sms",
                                    "odd.b,c"};
  for (int i = 0; i < 30; ++i) names.push_back("Filler " + std::to_string(i) + ".gg");
  std::string index;
  for (std::size_t j = 0; j < names.size(); ++j) index += layout::record(names[j], j);
  index += std::string(layout::paddingLength(index.size()), ' ');
  const auto records = parseEarlierIndex(index);
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), names.size());
  for (std::size_t j = 0; j < names.size(); ++j)
    EXPECT_EQ((*records)[j], (EarlierRecord{toWindows1252(names[j]), j})) << names[j];

  const struct {
    const char* what;
    std::string bytes;
  } others[] = {
      {"text after the padding", "a.sms,ROMS0\\0.sms\n    x"},
      {"an index out of order", "a.sms,ROMS0\\1.sms\n    "},
      {"the wrong group", "a.sms,ROMS1\\0.sms\n    "},
      {"another extension", "a.sms,ROMS0\\0.gg\n    "},
      {"no comma", "a.sms ROMS0\\0.sms\n    "},
      {"a record longer than any this program writes",
       std::string(2000, 'a') + ".sms,ROMS0\\0.sms\n         "},
      // Read in one look at each line: trying every comma as the name's end
      // took seconds for a hundred thousand of them.
      {"a line of two million commas", std::string(2'000'000, ',') + "\n               "},
  };
  for (const auto& other : others) EXPECT_FALSE(parseEarlierIndex(other.bytes)) << other.what;
  EXPECT_EQ(parseEarlierIndex("                "), std::vector<EarlierRecord>{});
}

}  // namespace
}  // namespace kavo::testing
