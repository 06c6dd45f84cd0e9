// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The file list with zipped games in it: an archive is listed by the ROM it
// holds, as the export takes it.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "export/archived_rom.h"
#include "listing/directory_listing.h"
#include "platform/services/run_time_error.h"
#include "support/archive_files.h"
#include "support/memory_file_system.h"

namespace kavo::testing {
namespace {

using Names = std::vector<std::string>;

// A ROM folder as players keep one: zipped games with a readme or a Mac's
// leftovers beside the ROM, a gzip file, an archive of two ROMs, one of
// pictures only, a damaged one, one that cannot be read, a file named like
// an archive that is not one, a plain ROM, a readme, a cover and a save.
class ZippedListingTest : public ::testing::Test {
 protected:
  ZippedListingTest() {
    files.makeDirectories(folder);
    const auto archive = [&](const std::string& name, const std::string& format,
                             const std::vector<Member>& members) {
      files.writeFile(in(name), archiveBytes(format, members));
    };
    archive("Alex Kidd (World).zip", "zip", {{"Alex Kidd (World).sms", "a"}, {"readme.txt", "r"}});
    archive("Columns.7z", "7z", {{"Columns.gg", "c"}});
    archive("Sonic.gz", "gz-named", {{"Sonic.sms", "s"}});
    archive("Wonder Boy.gz", "gz", {{"", "w"}});  // no name inside: "Wonder Boy", no extension
    archive("Two.zip", "zip", {{"a.sms", "a"}, {"b.sms", "b"}});
    archive("Pictures.zip", "zip", {{"cover.jpg", "c"}, {"readme.txt", "r"}});
    archive("Mac.zip", "zip", {{"__MACOSX/._Mac.sms", "m"}, {"Mac.gg", "m"}});
    archive("Nested.zip", "zip-stored", {{"roms/", ""}, {"roms/Nested.gg", "n"}});
    files.writeFile(in("Damaged.zip"), std::string("PK\x03\x04", 4) + "and then nothing");
    archive("Locked.zip", "zip", {{"Locked.sms", "l"}});
    files.denyAccess(in("Locked.zip"));
    files.writeFile(in("fake.zip"), "not an archive");
    for (const char* name : {"Game.sms", "README.txt", "cover.jpg", "Game.srm"})
      files.writeFile(in(name), "x");
  }
  MemoryFileSystem files;
  const std::string folder = files.root() / "roms";
  std::string in(const std::string& name) const { return folder + "/" + name; }
};

TEST_F(ZippedListingTest, AnArchiveIsListedByTheRomItHolds) {
  // Listed whatever the pattern: what cannot be looked into, so that the
  // export says what is wrong with it.
  const Names unknown = {"Damaged.zip", "Locked.zip"};
  const struct {
    const char* pattern;
    Names listed;  // besides `unknown`
  } cases[] = {
      {"*.sms; *.gg",
       {"Alex Kidd (World).zip", "Columns.7z", "Game.sms", "Mac.zip", "Nested.zip", "Sonic.gz",
        "Two.zip"}},
      {"*.SMS", {"Alex Kidd (World).zip", "Game.sms", "Sonic.gz", "Two.zip"}},
      // By the ROM inside, not by the archive's own name, as the export
      // takes the file the filter matches.
      {"*.zip", {"fake.zip"}},
      {"alex*", {"Alex Kidd (World).zip"}},
      {"Wonder*", {"Wonder Boy.gz"}},
      {"*.txt", {"Alex Kidd (World).zip", "Pictures.zip", "README.txt"}},
      {"*.srm", {"Game.srm"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.pattern);
    Names expected = c.listed;
    expected.insert(expected.end(), unknown.begin(), unknown.end());
    Names listed = listFiles(files, folder, FilePattern(c.pattern));
    std::sort(expected.begin(), expected.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(listed, expected);
  }
  // Unticked, every file is listed and nothing is opened.
  files.denyAccess(in("Columns.7z"));
  for (const char* every : {"*.*", "*", "", "*.sms; *.*"})
    EXPECT_EQ(listFiles(files, folder, FilePattern(every)).size(), 15u) << every;
}

// The list and the export apply one rule: a zip or a 7z is listed exactly
// when the export, given the list's pattern as its filter, finds one ROM in
// it or refuses it for holding several, never for holding none.
TEST_F(ZippedListingTest, TheExportTakesTheFileTheListMatched) {
  for (const char* pattern : {"*.sms; *.gg", "*.sms", "*.txt", "alex*", "*.zip"}) {
    const FilePattern filter(pattern);
    const Names listed = listFiles(files, folder, filter);
    for (const char* name : {"Alex Kidd (World).zip", "Columns.7z", "Two.zip", "Pictures.zip",
                             "Mac.zip", "Nested.zip"}) {
      SCOPED_TRACE(std::string(pattern) + ": " + name);
      const std::string path = in(name);
      std::string reason;
      try {
        lookIntoArchive(*files.openForReading(path), path, name,
                        *archiveFormatOf(files.readFile(path).substr(0, 8)), romFilterOf(filter));
      } catch (const RunTimeError& error) {
        reason = error.reason();
      }
      const bool isListed = std::find(listed.begin(), listed.end(), name) != listed.end();
      EXPECT_EQ(isListed, reason.empty() || reason.find(" ROMs, ") != std::string::npos) << reason;
    }
  }
  // A pattern that matches every name leaves the ROM to the export's own
  // rule, which passes over a readme.
  EXPECT_FALSE(romFilterOf(FilePattern("*.*")));
  EXPECT_TRUE(romFilterOf(FilePattern("*.gg"))("Columns.GG"));
}

}  // namespace
}  // namespace kavo::testing
