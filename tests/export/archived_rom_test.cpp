// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/archived_rom.h"

#include <gtest/gtest.h>

#include <atomic>
#include <clocale>
#include <functional>
#include <optional>
#include <string>

#include "export/export_plan.h"
#include "export/rom_set_export.h"
#include "platform/services/forwarding_file_system.h"
#include "platform/services/posix_file_system.h"
#include "platform/services/run_time_error.h"
#include "support/archive_files.h"
#include "support/error_of.h"
#include "support/export_fixture.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::ExportFixture;
using testing::Member;
using testing::readFile;
using testing::writeArchive;
using testing::writeFile;

// Changes the archive's bytes on disk as `damage` says.
void damage(const std::string& path, const std::function<void(std::string&)>& how) {
  std::string bytes = readFile(path);
  how(bytes);
  writeFile(path, bytes);
}

const std::string kRom(70'000, 'r');

// The size of a gzip file of one member holding `bytes`, where a second
// member starts in a file of two.
std::size_t gzipSize(const std::string& bytes) {
  testing::TempDirectory dir;
  writeArchive(dir / "one.gz", "gz", {{"", bytes}});
  return readFile(dir / "one.gz").size();
}

// Whether one of the "|"-separated `alternatives` `matches`.
bool anyOf(const std::string& alternatives, const std::function<bool(std::string_view)>& matches) {
  for (std::size_t at = 0; at <= alternatives.size();) {
    const std::size_t bar = std::min(alternatives.find('|', at), alternatives.size());
    if (matches(std::string_view(alternatives).substr(at, bar - at))) return true;
    at = bar + 1;
  }
  return false;
}

// Whether `text` starts with one of the "|"-separated `starts`.
bool startsWithOneOf(const std::string& text, const std::string& starts) {
  return anyOf(starts, [&](std::string_view start) { return text.starts_with(start); });
}

// A list's filter in a test: names that end with one of the "|"-separated
// endings (case counts).
RomFilter endingWith(const std::string& endings) {
  if (endings.empty()) return {};
  return [endings](std::string_view name) {
    return anyOf(endings, [&](std::string_view ending) { return name.ends_with(ending); });
  };
}

// Each archive is looked into as the export does before it writes, and
// unpacked as it does when it copies: the one ROM it holds, named after the
// archive with the ROM's extension, or a refusal or failure that names the
// archive and says why. In the C locale, as the command line runs under
// LANG=C: names that are not ASCII read as they do in the window.
TEST(ArchivedRom, OneRomAnArchiveIsFoundUnpackedOrRefusedWithTheReason) {
  ASSERT_TRUE(std::setlocale(LC_ALL, "C"));
  const std::size_t firstMember = gzipSize(kRom.substr(0, 30'000));
  const struct {
    const char* what;
    std::string listed, format;
    std::vector<Member> members;
    std::function<void(std::string&)> damaged;
    std::string name;         // what looking finds; empty: it refuses
    std::string reason;       // why looking refuses or unpacking fails; empty: it unpacks kRom
    std::string filter = {};  // the list's filter: names ending so
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
      {"an archive named with its ROM's extension",
       "Sonic.sms.zip",
       "zip",
       {{"Sonic.SMS", kRom}},
       {},
       "Sonic.sms",
       ""},
      // Zipped sets as they come: a readme, a cover, a Mac's leftovers.
      {"a readme, a cover and an info file beside the ROM",
       "Set.zip",
       "zip",
       {{"README.TXT", "read me"},
        {"cover.jpg", "img"},
        {"Set/file_id.diz", "info"},
        {"Set/Sonic.sms", kRom},
        {"Manual.PDF", "pdf"},
        {"site.url", "url"}},
       {},
       "Set.sms",
       ""},
      {"zipped on a Mac",
       "Mac.zip",
       "zip",
       {{"Mac.gg", kRom}, {"__MACOSX/._Mac.gg", "fork"}, {".DS_Store", "finder"}},
       {},
       "Mac.gg",
       ""},
      {"the filter picks the ROM",
       "Pick.zip",
       "zip",
       {{"Pick.sms", "a master system one"}, {"Pick.gg", kRom}},
       {},
       "Pick.gg",
       "",
       ".gg"},
      {"two ROMs",
       "Two.zip",
       "zip",
       {{"a.sms", "a"}, {"readme.txt", "r"}, {"b.sms", "b"}},
       {},
       "",
       "Holds 2 ROMs, a.sms and b.sms; an archive must hold one"},
      {"seven ROMs",
       "Seven.zip",
       "zip",
       {{"1.sms", "1"},
        {"2.sms", "2"},
        {"3.sms", "3"},
        {"4.sms", "4"},
        {"5.sms", "5"},
        {"6.sms", "6"},
        {"7.sms", "7"}},
       {},
       "",
       "Holds 7 ROMs, 1.sms, 2.sms, 3.sms, 4.sms, 5.sms and 2 more; an archive must hold one"},
      {"no file",
       "Empty.zip",
       "zip",
       {{"only/", ""}},
       {},
       "",
       "Holds no file; an archive must hold one ROM"},
      {"only a readme",
       "Readme.zip",
       "zip",
       {{"readme.txt", "r"}, {"cover.png", "c"}},
       {},
       "",
       "Holds no ROM, only readme.txt and cover.png; an archive must hold one ROM"},
      {"nothing the filter matches",
       "Other.zip",
       "zip",
       {{"Other.sms", kRom}},
       {},
       "",
       "Holds no file that the filter matches, only Other.sms; an archive must hold one ROM",
       ".gg"},
      {"an encrypted file",
       "Secret.zip",
       "zip-encrypted",
       {{"Secret.sms", kRom}},
       {},
       "",
       "Holds an encrypted file, which cannot be unpacked"},
      {"a file without an extension",
       "NoExtension.zip",
       "zip",
       {{"ROM", kRom}},
       {},
       "",
       "Holds a file whose name gives no extension"},
      // Names that are not ASCII: UTF-16 in a 7z, marked UTF-8 in a zip,
      // CP437 in an older zip.
      {"a 7z, its ROM's name not ASCII",
       "Madou.7z",
       "7z",
       {{"Madō Monogatari.sms", kRom}},
       {},
       "Madou.sms",
       ""},
      {"a zip, its ROM's name in UTF-8",
       "Madou.zip",
       "zip-utf8",
       {{"Madō Monogatari.sms", kRom}},
       {},
       "Madou.sms",
       ""},
      {"a zip, its ROM's name in CP437",
       "Senor.zip",
       "zip-cp437",
       {{"Señor Ü.sms", kRom}},
       {},
       "Senor.sms",
       ""},
      {"a 7z of two ROMs named in UTF-16",
       "Two.7z",
       "7z",
       {{"Madō.sms", "a"}, {"Señor.sms", "b"}},
       {},
       "",
       "Holds 2 ROMs, Madō.sms and Señor.sms; an archive must hold one"},
      {"a zip of two ROMs named in UTF-8",
       "Two.zip",
       "zip-utf8",
       {{"Madō.sms", "a"}, {"Señor.sms", "b"}},
       {},
       "",
       "Holds 2 ROMs, Madō.sms and Señor.sms; an archive must hold one"},
      {"a zip of two ROMs named in CP437",
       "Two.zip",
       "zip-cp437",
       {{"Señor Ü.sms", "a"}, {"Ä.gg", "b"}},
       {},
       "",
       "Holds 2 ROMs, Señor Ü.sms and Ä.gg; an archive must hold one"},
      // A member's name cannot break the index or the copy's name.
      {"a line break in the ROM's extension",
       "Break.zip",
       "zip",
       {{"Break.s\nms", kRom}},
       {},
       "",
       "Holds a file whose name contains a line break"},
      {"a control character in the ROM's extension",
       "Control.7z",
       "7z",
       {{"Control.s\x01ms", kRom}},
       {},
       "",
       "Holds a file whose name has a control character in its extension"},
      {"a delete in the ROM's extension",
       "Delete.zip",
       "zip",
       {{"Delete.sm\x7F", kRom}},
       {},
       "",
       "Holds a file whose name has a control character in its extension"},
      {"a comma in the ROM's extension",
       "Comma.zip",
       "zip",
       {{"Comma.s,ms", kRom}},
       {},
       "",
       "Holds a file whose name has a comma in its extension, which would break its record in "
       "the index"},
      // gzip: one file by nature, named in its header or after the archive,
      // every member checked against its trailer.
      {"a gzip file", "Game.sms.gz", "gz", {{"", kRom}}, {}, "Game.sms", ""},
      {"a gzip file of two members",
       "Two.sms.gz",
       "gz",
       {{"", kRom.substr(0, 30'000)}, {"", kRom.substr(30'000)}},
       {},
       "Two.sms",
       ""},
      {"a gzip file padded with zeros",
       "Padded.sms.GZ",
       "gz",
       {{"", kRom}},
       [](std::string& bytes) { bytes.append(1000, '\0'); },
       "Padded.sms",
       ""},
      {"a gzip file that names its ROM",
       "Named.gz",
       "gz-named",
       {{"named.gg", kRom}},
       {},
       "Named.gg",
       ""},
      {"a gzip file whose header names its ROM without an extension",
       "Game.sms.gz",
       "gz-named",
       {{"rom", kRom}},
       {},
       "Game.sms",
       ""},
      {"a gzip file named .zip that names its ROM",
       "Game.zip",
       "gz-named",
       {{"dir/Game.sms", kRom}},
       {},
       "Game.sms",
       ""},
      {"a gzip file named .zip that does not",
       "Game.zip",
       "gz",
       {{"", kRom}},
       {},
       "",
       "Holds a file whose name gives no extension"},
      {"a gzip file named without an extension",
       "Game.gz",
       "gz",
       {{"", kRom}},
       {},
       "",
       "Holds a file whose name gives no extension"},
      {"a gzip file that names its ROM with a comma in the extension",
       "Comma.gz",
       "gz-named",
       {{"Comma.s,ms", kRom}},
       {},
       "",
       "Holds a file whose name has a comma in its extension"},
      {"a gzip file whose CRC-32 does not match",
       "Crc.sms.gz",
       "gz",
       {{"", kRom}},
       [](std::string& bytes) { bytes[bytes.size() - 8] ^= 1; },
       "",
       "Cannot be unpacked: its CRC-32 does not match its data"},
      {"a gzip file whose length does not match",
       "Length.sms.gz",
       "gz",
       {{"", kRom}},
       [](std::string& bytes) { bytes[bytes.size() - 4] ^= 1; },
       "",
       "Cannot be unpacked: its length does not match its data"},
      {"a gzip file whose first member's CRC-32 does not match",
       "First.sms.gz",
       "gz",
       {{"", kRom.substr(0, 30'000)}, {"", kRom.substr(30'000)}},
       [&](std::string& bytes) { bytes[firstMember - 8] ^= 1; },
       "",
       "Cannot be unpacked: its CRC-32 does not match its data"},
      {"a gzip file with bytes after its end",
       "Garbage.sms.gz",
       "gz",
       {{"", kRom}},
       [](std::string& bytes) { bytes += "trailing"; },
       "",
       "Cannot be unpacked: bytes that are not gzip data follow its end"},
      {"a gzip file with zeros, then other bytes, after its end",
       "Garbage.sms.gz",
       "gz",
       {{"", kRom}},
       [](std::string& bytes) { bytes += std::string(70'000, '\0') + "x"; },
       "",
       "Cannot be unpacked: bytes that are not gzip data follow its end"},
      {"a gzip file with the start of a member after its end",
       "Start.sms.gz",
       "gz",
       {{"", kRom}},
       [](std::string& bytes) { bytes += "\x1F\x8B"; },
       "",
       "Cannot be unpacked: it is cut short"},
      {"a gzip file cut short",
       "Cut.sms.gz",
       "gz",
       {{"", kRom}},
       [](std::string& bytes) { bytes.resize(bytes.size() - 3); },
       "",
       "Cannot be unpacked: it is cut short"},
      // Damage libarchive finds, when looking or unpacking.
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
  PosixFileSystem files;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing::TempDirectory dir;
    const std::string path = dir / c.listed;
    writeArchive(path, c.format, c.members);
    if (c.damaged) damage(path, c.damaged);
    const auto format = archiveFormatOf(readFile(path).substr(0, 8));
    ASSERT_TRUE(format);
    std::optional<ArchivedRom> rom;
    try {
      rom = lookIntoArchive(*files.openForReading(path), path, c.listed, *format,
                            endingWith(c.filter));
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
      if (!c.format.starts_with("gz")) {
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

// Rewrites a file when it is opened for the `atOpen`th time: just before,
// or once its first piece has been read; by putting another file in its
// place through the file system it forwards to (what has the old one open
// still reads it), as a download or a tool replacing it would, or by
// writing over it where it lies, as an editor might.
class RewritingFileSystem final : public ForwardingFileSystem {
 public:
  enum class When { BeforeOpening, AfterFirstRead, InPlaceAfterFirstRead };

  RewritingFileSystem(FileSystem& target, std::string path, std::string bytes, int atOpen,
                      When when)
      : ForwardingFileSystem(target),
        path_(std::move(path)),
        bytes_(std::move(bytes)),
        atOpen_(atOpen),
        when_(when) {}

  std::unique_ptr<ReadableFile> openForReading(const std::string& path, Reading reading) override {
    if (path != path_ || ++opens_ != atOpen_)
      return ForwardingFileSystem::openForReading(path, reading);
    if (when_ == When::BeforeOpening) {
      rewrite();
      return ForwardingFileSystem::openForReading(path, reading);
    }
    return std::make_unique<RewrittenAfterRead>(ForwardingFileSystem::openForReading(path, reading),
                                                *this);
  }

 private:
  class RewrittenAfterRead final : public ReadableFile {
   public:
    RewrittenAfterRead(std::unique_ptr<ReadableFile> file, RewritingFileSystem& files)
        : ReadableFile(file->status()), file_(std::move(file)), files_(files) {}
    std::size_t read(char* buffer, std::size_t size) override {
      return after(file_->read(buffer, size));
    }
    std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t size) override {
      return after(file_->readAt(offset, buffer, size));
    }

   private:
    std::size_t after(std::size_t got) {
      if (!rewritten_) files_.rewrite();
      rewritten_ = true;
      return got;
    }
    std::unique_ptr<ReadableFile> file_;
    RewritingFileSystem& files_;
    bool rewritten_ = false;
  };

  void rewrite() {
    if (when_ == When::InPlaceAfterFirstRead) return writeFile(path_, bytes_);
    target_.removeFile(path_);
    std::unique_ptr<WritableFile> file = target_.createNew(path_);
    file->print(bytes_);
    file->close();
  }

  std::string path_, bytes_;
  int atOpen_;
  When when_;
  std::atomic<int> opens_ = 0;
};

// `size` bytes that do not compress, so that an archive of them takes many
// reads.
std::string noise(std::size_t size, std::uint32_t seed) {
  std::string bytes(size, '\0');
  for (char& byte : bytes) {
    seed = seed * 1'664'525u + 1'013'904'223u;
    byte = static_cast<char>(seed >> 24);
  }
  return bytes;
}

// An archive that another program rewrites between the checks and its
// unpacking, or while it is unpacked, fails the copy as a plain source does,
// whatever unpacking the mixture would give.
TEST(ArchivedRom, AnArchiveRewrittenWhileItIsUnpackedChangedWhileItWasCopied) {
  using When = RewritingFileSystem::When;
  const std::string rom = noise(200'000, 1), otherRom = noise(150'000, 2);
  PosixFileSystem files;
  for (const std::string format : {"zip-stored", "7z", "gz"}) {
    for (const When when :
         {When::BeforeOpening, When::AfterFirstRead, When::InPlaceAfterFirstRead}) {
      SCOPED_TRACE(format + " " + std::to_string(static_cast<int>(when)));
      testing::TempDirectory dir;
      const std::string path = dir / "Game.sms.gz", other = dir / "other";
      writeArchive(path, format, {{"Game.sms", rom}});
      writeArchive(other, format, {{"Game.sms", otherRom}});
      const ArchivedRom found = lookIntoArchive(*files.openForReading(path), path, "Game.sms.gz",
                                                *archiveFormatOf(readFile(path).substr(0, 8)));
      RewritingFileSystem rewriting(files, path, readFile(other), 1, when);
      std::uint64_t written = 0;
      const auto error = testing::errorOf([&] {
        unpackArchive(rewriting, path, found,
                      [&](const char*, std::size_t size) { written += size; });
      });
      ASSERT_TRUE(error);
      EXPECT_EQ(error->path(), path);
      EXPECT_EQ(error->reason(), "Changed while it was copied");
      EXPECT_LE(written, rom.size());
    }
  }
}

// An export whose archive is rewritten after the checks fails at its copy
// and leaves the destination as it was.
TEST_F(ExportFixture, AnArchiveRewrittenAfterTheChecksFailsTheExport) {
  addRoms({"Alpha.sms"});
  writeArchive(source + "/Beta.zip", "zip", {{"Beta.gg", kRom}});
  writeArchive(root / "other.zip", "zip", {{"Beta.gg", kRom + "and more"}});
  const testing::Tree before = testing::snapshot(destination);
  RewritingFileSystem rewriting(files, source + "/Beta.zip", readFile(root / "other.zip"), 2,
                                RewritingFileSystem::When::BeforeOpening);
  const auto error = failure(request({"Alpha.sms", "Beta.zip"}), rewriting);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->path(), source + "/Beta.zip");
  EXPECT_EQ(error->reason(), "Changed while it was copied");
  EXPECT_EQ(error->note(), "The destination was left as it was.");
  EXPECT_EQ(testing::snapshot(destination), before);
}

// The plan names each archive's record, and its copy, after what it unpacks,
// whatever the archive's kind or name; a file named like an archive that is
// not one is copied as it is, with a note; the list's filter picks the ROM.
TEST_F(ExportFixture, ThePlanNamesAnArchivesRecordAfterWhatItUnpacks) {
  writeArchive(source + "/Alpha (USA).zip", "zip", {{"alpha.sms", kRom}, {"readme.txt", "r"}});
  writeArchive(source + "/Beta.7z", "7z", {{"Beta.GG", kRom}});
  writeArchive(source + "/Gamma.sms.gz", "gz", {{"", kRom}});
  writeArchive(source + "/Delta.zip", "gz-named", {{"Delta.gg", kRom}});
  writeFile(source + "/Epsilon.zip", "a ROM whose name ends in .zip");
  writeArchive(source + "/Zeta.zip", "zip", {{"Zeta.sms", kRom}, {"Zeta.gg", kRom + "gg"}});
  ExportRequest asked = request(
      {"Alpha (USA).zip", "Beta.7z", "Gamma.sms.gz", "Delta.zip", "Epsilon.zip", "Zeta.zip"});
  asked.wanted = endingWith(".sms|.GG");  // as "*.sms; *.GG" would, were case to count
  const ExportPlan plan = planFromSources(asked, files);
  const struct {
    std::string record, copy;
    std::uint64_t size;
  } expected[] = {{"Alpha (USA).sms", "0.SMS", kRom.size()},
                  {"Beta.GG", "1.GG", kRom.size()},
                  {"Gamma.sms", "2.SMS", kRom.size()},
                  {"Delta.gg", "3.GG", kRom.size()},
                  {"Epsilon.zip", "4.ZIP", 29},
                  {"Zeta.sms", "5.SMS", kRom.size()}};
  ASSERT_EQ(plan.count(), std::size(expected));
  for (std::size_t j = 0; j < plan.count(); ++j) {
    SCOPED_TRACE(asked.names[j]);
    EXPECT_EQ(plan.recordName(j), expected[j].record);
    EXPECT_EQ(plan.copyFileName(j), expected[j].copy);
    EXPECT_EQ(plan.copies[j].size, expected[j].size);
    EXPECT_EQ(plan.archived(j) == nullptr, j == 4);
  }
  EXPECT_EQ(plan.notes, std::vector<std::string>{source + "/Epsilon.zip is named like an archive "
                                                          "but is not one; it is copied as it is"});
}

}  // namespace
}  // namespace kavo
