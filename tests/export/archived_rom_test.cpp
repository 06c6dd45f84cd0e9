// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/archived_rom.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/services/run_time_error.h"
#include "support/archive_files.h"
#include "support/memory_file_system.h"

namespace kavo::testing {
namespace {

// Changes the archive's bytes as `damage` says.
void damage(TestFiles& files, const std::string& path,
            const std::function<void(std::string&)>& how) {
  std::string bytes = files.readFile(path);
  how(bytes);
  files.writeFile(path, bytes);
}

const std::string kRom(70'000, 'r');

// Whether `text` starts with one of the "|"-separated `starts`.
bool startsWithOneOf(const std::string& text, const std::string& starts) {
  for (std::size_t at = 0; at <= starts.size();) {
    const std::size_t bar = std::min(starts.find('|', at), starts.size());
    if (text.starts_with(starts.substr(at, bar - at))) return true;
    at = bar + 1;
  }
  return false;
}

// Each archive is looked into as the export does before it writes, and
// unpacked as it does when it copies: the one ROM it holds, named after the
// archive with the ROM's extension, or a refusal or failure that names the
// archive and says why.
TEST(ArchivedRom, OneRomAnArchiveIsFoundUnpackedOrRefusedWithTheReason) {
  const struct {
    const char* what;
    std::string listed, format;
    std::vector<Member> members;
    std::function<void(std::string&)> damaged;
    std::string name;    // what looking finds; empty: it refuses
    std::string reason;  // why looking refuses or unpacking fails; empty: it unpacks kRom
  } cases[] = {
      {"a zip", "Sonic (USA).zip", "zip", {{"Sonic (USA).sms", kRom}}, {}, "Sonic (USA).sms", ""},
      {"a stored zip, a folder beside the file",
       "b.ZIP",
       "zip-stored",
       {{"roms/", ""}, {"roms/Game.gg", kRom}},
       {},
       "b.gg",
       ""},
      {"a 7z", "Set.7z", "7z", {{"Set.smd", kRom}}, {}, "Set.smd", ""},
      {"a gzip file", "Game.sms.gz", "gz", {{"data", kRom}}, {}, "Game.sms", ""},
      {"no file",
       "Empty.zip",
       "zip",
       {{"only/", ""}},
       {},
       "",
       "Holds 0 files; an archive must hold one ROM"},
      {"two files",
       "Two.zip",
       "zip",
       {{"a.sms", "a"}, {"b.sms", "b"}},
       {},
       "",
       "Holds 2 files; an archive must hold one ROM"},
      {"an encrypted file",
       "Secret.zip",
       "zip-encrypted",
       {{"Secret.sms", kRom}},
       {},
       "",
       "Holds an encrypted file, which cannot be unpacked"},
      {"a file without an extension",
       "Readme.zip",
       "zip",
       {{"README", kRom}},
       {},
       "",
       "Holds a file whose name gives no extension"},
      {"a gzip file named without one",
       "Game.gz",
       "gz",
       {{"data", kRom}},
       {},
       "",
       "Holds a file whose name gives no extension"},
      {"cut short",
       "Cut.zip",
       "zip",
       {{"Cut.sms", kRom}},
       [](std::string& bytes) { bytes.resize(bytes.size() / 2); },
       "",
       "Cannot be unpacked: "},
      {"a bad checksum",
       "Bad.zip",
       "zip-stored",
       {{"Bad.sms", kRom}},
       [](std::string& bytes) { bytes[bytes.find("rrrr") + 100] = 'R'; },
       "Bad.sms",
       "Cannot be unpacked: "},
      {"sizes that disagree",
       "Odd.zip",
       "zip",
       {{"Odd.sms", kRom}},
       [](std::string& bytes) {  // the central directory's uncompressed size, made small
         bytes.replace(bytes.rfind("PK\x01\x02") + 24, 4, std::string("\x10\0\0\0", 4));
       },
       "",
       "Cannot be unpacked: "},
      {"more bytes than it declares",
       "Bomb.zip",
       "zip",
       {{"Bomb.sms", kRom}},
       [](std::string& bytes) {  // both its uncompressed sizes, made small
         bytes.replace(bytes.rfind("PK\x01\x02") + 24, 4, std::string("\x10\0\0\0", 4));
         bytes.replace(bytes.find("PK\x03\x04") + 22, 4, std::string("\x10\0\0\0", 4));
       },
       "Bomb.sms",  // stopped by libarchive's own check, or else by the export's
       "Cannot be unpacked: ZIP uncompressed data is wrong size|Unpacks to more bytes than it "
       "declares (16)"},
  };
  MemoryFileSystem files;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = files.root() / c.listed;
    files.writeFile(path, archiveBytes(c.format, c.members));
    if (c.damaged) damage(files, path, c.damaged);
    const auto format = archiveFormatOf(files.readFile(path).substr(0, 8));
    ASSERT_TRUE(format);
    std::optional<ArchivedRom> rom;
    try {
      rom = lookIntoArchive(files, path, c.listed, *format);
    } catch (const RunTimeError& error) {
      EXPECT_EQ(c.name, "") << error.reason();
      EXPECT_EQ(error.path(), path);
      EXPECT_TRUE(error.reason().starts_with(c.reason)) << error.reason();
      continue;
    }
    EXPECT_EQ(rom->name, c.name);
    std::string unpacked;
    try {
      unpackArchive(files, path, *rom,
                    [&](const char* bytes, std::size_t size) { unpacked.append(bytes, size); });
      EXPECT_EQ(c.reason, "");
      EXPECT_EQ(unpacked, kRom);
      EXPECT_EQ(rom->size, kRom.size());
      if (c.format != "gz") {
        EXPECT_EQ(rom->modifiedSeconds, 1'700'000'000);
      }
    } catch (const RunTimeError& error) {
      EXPECT_EQ(error.path(), path);
      EXPECT_NE(c.reason, "") << error.reason();
      EXPECT_TRUE(startsWithOneOf(error.reason(), c.reason)) << error.reason();
      EXPECT_LE(unpacked.size(), rom->size);
    }
  }
  // Only a name that says so is looked into, and only what begins as an
  // archive is one.
  EXPECT_TRUE(mayBeArchive("a.ZIP") && mayBeArchive("a.7z") && mayBeArchive("a.sms.gz"));
  EXPECT_FALSE(mayBeArchive("a.sms") || mayBeArchive("zip"));
  EXPECT_FALSE(archiveFormatOf("a ROM that is named .zip"));
}

}  // namespace
}  // namespace kavo::testing
