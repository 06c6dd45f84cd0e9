// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/archived_rom.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <clocale>
#include <functional>
#include <optional>
#include <string>

#include "export/export_plan.h"
#include "export/rom_set_export.h"
#include "platform/services/forwarding_file_system.h"
#include "platform/services/run_time_error.h"
#include "support/archive_files.h"
#include "support/error_of.h"
#include "support/export_fixture.h"
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

// The size of a gzip file of one member holding `bytes`, where a second
// member starts in a file of two.
std::size_t gzipSize(const std::string& bytes) { return archiveBytes("gz", {{"", bytes}}).size(); }

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
  const std::vector<Member> twoMembers = {{"", kRom.substr(0, 30'000)}, {"", kRom.substr(30'000)}};
  const auto appending = [](std::string tail) {
    return [tail](std::string& bytes) { bytes += tail; };
  };
  const auto flipping = [](std::size_t fromEnd) {
    return [fromEnd](std::string& bytes) { bytes[bytes.size() - fromEnd] ^= 1; };
  };
  const std::string two = "; an archive must hold one", noRom = "; an archive must hold one ROM";
  const std::string holding = "Holds a file whose name ", cannot = "Cannot be unpacked: ";
  const struct {
    std::string listed, format;
    std::vector<Member> members;
    std::string name;    // what looking finds; empty: it refuses
    std::string reason;  // why looking refuses or unpacking fails; empty: it unpacks kRom
    std::function<void(std::string&)> damaged = {};
    std::string filter = {};  // the list's filter: names ending so
  } cases[] = {
      {"Sonic (USA).zip", "zip", {{"Sonic (USA).sms", kRom}}, "Sonic (USA).sms", ""},
      {"b.ZIP", "zip-stored", {{"roms/", ""}, {"roms/Game.gg", kRom}}, "b.gg", ""},
      {"Set.7z", "7z", {{"Set.smd", kRom}}, "Set.smd", ""},
      {"Named like its ROM.sms.zip", "zip", {{"x.SMS", kRom}}, "Named like its ROM.sms", ""},
      // Zipped sets as they come: a readme, a cover, a Mac's leftovers.
      {"Beside.zip",
       "zip",
       {{"README.TXT", "r"},
        {"cover.jpg", "c"},
        {"Set/file_id.diz", "i"},
        {"Set/Sonic.sms", kRom},
        {"Manual.PDF", "p"},
        {"site.url", "u"}},
       "Beside.sms",
       ""},
      {"Mac.zip",
       "zip",
       {{"Mac.gg", kRom}, {"__MACOSX/._Mac.gg", "f"}, {".DS_Store", "d"}},
       "Mac.gg",
       ""},
      {"Filtered.zip", "zip", {{"a.sms", "a"}, {"a.gg", kRom}}, "Filtered.gg", "", {}, ".gg"},
      {"Two.zip",
       "zip",
       {{"a.sms", "a"}, {"readme.txt", "r"}, {"b.sms", "b"}},
       "",
       "Holds 2 ROMs, a.sms and b.sms" + two},
      {"Seven.zip",
       "zip",
       {{"1.a", "1"},
        {"2.a", "2"},
        {"3.a", "3"},
        {"4.a", "4"},
        {"5.a", "5"},
        {"6.a", "6"},
        {"7.a", "7"}},
       "",
       "Holds 7 ROMs, 1.a, 2.a, 3.a, 4.a, 5.a and 2 more" + two},
      {"Empty.zip", "zip", {{"only/", ""}}, "", "Holds no file" + noRom},
      {"Readme.zip",
       "zip",
       {{"readme.txt", "r"}, {"cover.png", "c"}},
       "",
       "Holds no ROM, only readme.txt and cover.png" + noRom},
      {"Unmatched.zip",
       "zip",
       {{"a.sms", kRom}},
       "",
       "Holds no file that the filter matches, only a.sms" + noRom,
       {},
       ".gg"},
      {"Secret.zip",
       "zip-encrypted",
       {{"Secret.sms", kRom}},
       "",
       "Holds an encrypted file, which cannot"},
      {"NoExtension.zip", "zip", {{"ROM", kRom}}, "", holding + "gives no extension"},
      // Names that are not ASCII: UTF-16 in a 7z, marked UTF-8 in a zip,
      // CP437 in an older zip.
      {"Utf16.7z", "7z", {{"Madō Monogatari.sms", kRom}}, "Utf16.sms", ""},
      {"Utf8.zip", "zip-utf8", {{"Madō Monogatari.sms", kRom}}, "Utf8.sms", ""},
      {"Cp437.zip", "zip-cp437", {{"Señor Ü.sms", kRom}}, "Cp437.sms", ""},
      {"Two.7z",
       "7z",
       {{"Madō.sms", "a"}, {"Señor.sms", "b"}},
       "",
       "Holds 2 ROMs, Madō.sms and Señor.sms"},
      {"Two.zip",
       "zip-utf8",
       {{"Madō.sms", "a"}, {"Señor.sms", "b"}},
       "",
       "Holds 2 ROMs, Madō.sms and Señor.sms"},
      {"Two.zip",
       "zip-cp437",
       {{"Señor Ü.sms", "a"}, {"Ä.gg", "b"}},
       "",
       "Holds 2 ROMs, Señor Ü.sms and Ä.gg"},
      // A ROM's name cannot break the index or the copy's name.
      {"Break.zip", "zip", {{"a.s\nms", kRom}}, "", holding + "contains a line break"},
      {"Control.7z", "7z", {{"a.s\x01ms", kRom}}, "", holding + "has a control character"},
      {"Delete.zip", "zip", {{"a.sm\x7F", kRom}}, "", holding + "has a control character"},
      {"Comma.zip",
       "zip",
       {{"a.s,ms", kRom}},
       "",
       holding + "has a comma in its extension, which would break its record in the index"},
      {"Comma.gz", "gz-named", {{"a.s,ms", kRom}}, "", holding + "has a comma in its extension"},
      // gzip: one file by nature, named in its header or after the archive,
      // every member checked against its trailer, as gzip -t does.
      {"Game.sms.gz", "gz", {{"", kRom}}, "Game.sms", ""},
      {"Two members.sms.gz", "gz", twoMembers, "Two members.sms", ""},
      {"Padded.sms.GZ", "gz", {{"", kRom}}, "Padded.sms", "", appending(std::string(1000, '\0'))},
      {"Named.gz", "gz-named", {{"named.gg", kRom}}, "Named.gg", ""},
      {"Named without extension.sms.gz",
       "gz-named",
       {{"rom", kRom}},
       "Named without extension.sms",
       ""},
      {"Gzip named.zip", "gz-named", {{"dir/Game.sms", kRom}}, "Gzip named.sms", ""},
      {"Gzip unnamed.zip", "gz", {{"", kRom}}, "", holding + "gives no extension"},
      {"Game.gz", "gz", {{"", kRom}}, "", holding + "gives no extension"},
      {"Crc.sms.gz",
       "gz",
       {{"", kRom}},
       "",
       cannot + "its CRC-32 does not match its data",
       flipping(8)},
      {"Length.sms.gz",
       "gz",
       {{"", kRom}},
       "",
       cannot + "its length does not match its data",
       flipping(4)},
      {"First member's CRC.sms.gz", "gz", twoMembers, "",
       cannot + "its CRC-32 does not match its data",
       [&](std::string& bytes) { bytes[firstMember - 8] ^= 1; }},
      {"Garbage.sms.gz",
       "gz",
       {{"", kRom}},
       "",
       cannot + "bytes that are not gzip data follow its end",
       appending("trailing")},
      {"Zeros, then garbage.sms.gz",
       "gz",
       {{"", kRom}},
       "",
       cannot + "bytes that are not gzip data follow its end",
       appending(std::string(70'000, '\0') + "x")},
      {"A member's start.sms.gz",
       "gz",
       {{"", kRom}},
       "",
       cannot + "it is cut short",
       appending("\x1F\x8B")},
      {"Cut.sms.gz",
       "gz",
       {{"", kRom}},
       "",
       cannot + "it is cut short",
       [](std::string& bytes) { bytes.resize(bytes.size() - 3); }},
      // Damage libarchive finds, when looking or unpacking.
      {"Cut.zip",
       "zip",
       {{"Cut.sms", kRom}},
       "",
       cannot,
       [](std::string& bytes) { bytes.resize(bytes.size() / 2); }},
      {"Bad.zip",
       "zip-stored",
       {{"Bad.sms", kRom}},
       "Bad.sms",
       cannot,
       [](std::string& bytes) { bytes[bytes.find("rrrr") + 100] = 'R'; }},
      {"Odd.zip",
       "zip",
       {{"Odd.sms", kRom}},
       "",
       cannot,
       [](std::string& bytes) {  // the central directory's uncompressed size, made small
         bytes.replace(bytes.rfind("PK\x01\x02") + 24, 4, std::string("\x10\0\0\0", 4));
       }},
      {"Bomb.zip",
       "zip",
       {{"Bomb.sms", kRom}},
       "Bomb.sms",  // stopped by libarchive's own check, or else by the export's
       cannot + "ZIP uncompressed data is wrong size|Unpacks to more bytes than it declares (16)",
       [](std::string& bytes) {  // both its uncompressed sizes, made small
         bytes.replace(bytes.rfind("PK\x01\x02") + 24, 4, std::string("\x10\0\0\0", 4));
         bytes.replace(bytes.find("PK\x03\x04") + 22, 4, std::string("\x10\0\0\0", 4));
       }},
  };
  MemoryFileSystem files;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.listed + " (" + c.format + ")");
    const std::string path = files.root() / c.listed;
    files.writeFile(path, archiveBytes(c.format, c.members));
    if (c.damaged) damage(files, path, c.damaged);
    const auto format = archiveFormatOf(files.readFile(path).substr(0, 8));
    ASSERT_TRUE(format);
    // What the file list reads of it, from its headers alone: as many files
    // that may be the ROM as looking finds.
    std::vector<std::string> held;
    std::string unread;
    try {
      held = archiveFileNames(*files.openForReading(path), path, c.listed, *format);
    } catch (const RunTimeError& error) {
      unread = error.reason();
    }
    const auto candidates = std::count_if(held.begin(), held.end(), [&](const std::string& name) {
      return mayBeRom(name, endingWith(c.filter));
    });
    std::optional<ArchivedRom> rom;
    try {
      rom = lookIntoArchive(*files.openForReading(path), path, c.listed, *format,
                            endingWith(c.filter));
    } catch (const RunTimeError& error) {
      EXPECT_EQ(c.name, "") << error.reason();
      EXPECT_EQ(error.path(), path);
      EXPECT_TRUE(error.reason().starts_with(c.reason)) << error.reason();
      if (error.reason().starts_with("Holds no ")) {
        EXPECT_EQ(candidates, 0);
      }
      if (error.reason().starts_with("Holds 2 ROMs")) {
        EXPECT_EQ(candidates, 2);
      }
      continue;
    }
    EXPECT_EQ(rom->name, c.name);
    EXPECT_EQ(unread, "");
    EXPECT_EQ(candidates, 1);
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

  RewritingFileSystem(TestFiles& target, std::string path, std::string bytes, int atOpen, When when)
      : ForwardingFileSystem(target.files()),
        where_(target),
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
    if (when_ == When::InPlaceAfterFirstRead) return where_.writeFile(path_, bytes_);
    target_.removeFile(path_);
    std::unique_ptr<WritableFile> file = target_.createNew(path_);
    file->print(bytes_);
    file->close();
  }

  TestFiles& where_;
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
  MemoryFileSystem files;
  for (const std::string format : {"zip-stored", "7z", "gz"}) {
    for (const When when :
         {When::BeforeOpening, When::AfterFirstRead, When::InPlaceAfterFirstRead}) {
      SCOPED_TRACE(format + " " + std::to_string(static_cast<int>(when)));
      const std::string path = files.root() / "Game.sms.gz";
      files.writeFile(path, archiveBytes(format, {{"Game.sms", rom}}));
      const ArchivedRom found =
          lookIntoArchive(*files.openForReading(path), path, "Game.sms.gz",
                          *archiveFormatOf(files.readFile(path).substr(0, 8)));
      RewritingFileSystem rewriting(files, path, archiveBytes(format, {{"Game.sms", otherRom}}), 1,
                                    when);
      std::uint64_t written = 0;
      const auto error = errorOf([&] {
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
  writeFile(source + "/Beta.zip", archiveBytes("zip", {{"Beta.gg", kRom}}));
  const Tree before = snapshot(destination);
  RewritingFileSystem rewriting(*where, source + "/Beta.zip",
                                archiveBytes("zip", {{"Beta.gg", kRom + "and more"}}), 2,
                                RewritingFileSystem::When::BeforeOpening);
  const auto error = failure(request({"Alpha.sms", "Beta.zip"}), rewriting);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->path(), source + "/Beta.zip");
  EXPECT_EQ(error->reason(), "Changed while it was copied");
  EXPECT_EQ(error->note(), "The destination was left as it was.");
  EXPECT_EQ(snapshot(destination), before);
}

// The plan names each archive's record, and its copy, after what it unpacks,
// whatever the archive's kind or name; a file named like an archive that is
// not one is copied as it is, with a note; the list's filter picks the ROM.
TEST_F(ExportFixture, ThePlanNamesAnArchivesRecordAfterWhatItUnpacks) {
  writeFile(source + "/Alpha (USA).zip",
            archiveBytes("zip", {{"alpha.sms", kRom}, {"readme.txt", "r"}}));
  writeFile(source + "/Beta.7z", archiveBytes("7z", {{"Beta.GG", kRom}}));
  writeFile(source + "/Gamma.sms.gz", archiveBytes("gz", {{"", kRom}}));
  writeFile(source + "/Delta.zip", archiveBytes("gz-named", {{"Delta.gg", kRom}}));
  writeFile(source + "/Epsilon.zip", "a ROM whose name ends in .zip");
  writeFile(source + "/Zeta.zip",
            archiveBytes("zip", {{"Zeta.sms", kRom}, {"Zeta.gg", kRom + "gg"}}));
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
    EXPECT_EQ(plan.copySize(j), expected[j].size);
    EXPECT_EQ(plan.archived(j) == nullptr, j == 4);
  }
  EXPECT_EQ(plan.notes, std::vector<std::string>{source + "/Epsilon.zip is named like an archive "
                                                          "but is not one; it is copied as it is"});
}

}  // namespace
}  // namespace kavo::testing
