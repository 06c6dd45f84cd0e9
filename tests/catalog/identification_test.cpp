// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/identification.h"

#include <gtest/gtest.h>

#include <map>
#include <mutex>

#include "catalog/sample_dat.h"
#include "platform/services/forwarding_file_system.h"
#include "support/archive_files.h"
#include "support/memory_file_system.h"

namespace kavo::catalog {
namespace {

using namespace kavo::catalog::testing;

// Counts, for each path, how often it was opened and how many bytes were
// read from it, from any thread.
class CountingFileSystem final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;

  std::unique_ptr<ReadableFile> openForReading(const std::string& path,
                                               Reading reading = Reading::Cached) override {
    std::unique_ptr<ReadableFile> file = ForwardingFileSystem::openForReading(path, reading);
    std::lock_guard lock(mutex_);
    ++opened_[path];
    return std::make_unique<Counted>(std::move(file), *this, path);
  }

  std::size_t opened(const std::string& path) {
    std::lock_guard lock(mutex_);
    return opened_[path];
  }
  std::uint64_t bytesRead(const std::string& path) {
    std::lock_guard lock(mutex_);
    return read_[path];
  }

 private:
  class Counted final : public ReadableFile {
   public:
    Counted(std::unique_ptr<ReadableFile> file, CountingFileSystem& owner, std::string path)
        : ReadableFile(file->status()), file_(std::move(file)), owner_(owner), path_(path) {}
    std::size_t read(char* buffer, std::size_t size) override {
      return counted(file_->read(buffer, size));
    }
    std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t size) override {
      return counted(file_->readAt(offset, buffer, size));
    }

   private:
    std::size_t counted(std::size_t got) {
      std::lock_guard lock(owner_.mutex_);
      owner_.read_[path_] += got;
      return got;
    }
    std::unique_ptr<ReadableFile> file_;
    CountingFileSystem& owner_;
    std::string path_;
  };

  std::mutex mutex_;
  std::map<std::string, std::size_t> opened_;
  std::map<std::string, std::uint64_t> read_;
};

// One listed file and what it should be found to be.
struct Listed {
  std::string name;
  std::string found;  // as describeIdentity() puts it
  std::string recordName = "";
};

class IdentificationTest : public ::testing::Test {
 protected:
  // What identify() said of a file, in one line.
  std::string describeIdentity(const Dat& dat, const Identity& identity) {
    switch (identity.found) {
      case Found::Unknown:
        return "unknown";
      case Found::Unreadable:
        return "unreadable: " + identity.problem;
      case Found::Identified:
        break;
    }
    std::string text =
        dat.games[identity.game].name + " / " + dat.games[identity.game].roms[identity.rom].name;
    if (identity.badDump) text += ", bad dump";
    if (identity.duplicateOf) text += ", duplicate of " + std::to_string(*identity.duplicateOf);
    return text;
  }

  void check(const Dat& dat, const std::vector<Listed>& listed, std::size_t threads) {
    std::vector<std::string> names;
    for (const Listed& file : listed) names.push_back(file.name);
    const std::vector<Identity> identities = identify(files_, folder_.path(), names, dat, threads);
    ASSERT_EQ(identities.size(), listed.size());
    for (std::size_t i = 0; i < listed.size(); ++i) {
      EXPECT_EQ(describeIdentity(dat, identities[i]), listed[i].found)
          << listed[i].name << " on " << threads << " threads";
      EXPECT_EQ(datRecordName(dat, identities[i]).value_or(""), listed[i].recordName)
          << listed[i].name;
    }
  }

  void writeFile(const std::string& path, std::string_view bytes) {
    memory_.writeFile(path, bytes);
  }
  void writeArchive(const std::string& path, const std::string& format,
                    const std::vector<kavo::testing::Member>& members) {
    memory_.writeFile(path, kavo::testing::archiveBytes(format, members));
  }

  kavo::testing::MemoryFileSystem memory_;
  const kavo::testing::Folder& folder_ = memory_.root();
  CountingFileSystem files_{memory_};
};

TEST_F(IdentificationTest, FindsPlainAndZippedRomsBySizeAndHashes) {
  writeFile(folder_ / "Sonic the Hedgehog (USA, Europe).sms", kSonicUsaEurope);
  writeArchive(folder_ / "Sonic (J).zip", "zip", {{"inside/whatever.SMS", kSonicJapan}});
  writeArchive(folder_ / "beta.sms.gz", "gz", {{"", kSonicBeta}});
  writeArchive(folder_ / "Bad.7z", "7z", {{"Bad.sg", kBadGame}});
  writeFile(folder_ / "count.bin", kCounting);
  writeFile(folder_ / "copy of sonic.sms", kSonicUsaEurope);
  writeFile(folder_ / "Unknown (Japan).sms", kUnknownRom);  // Sonic Japan's size, not its bytes
  writeFile(folder_ / "odd size.sms", "hello");
  writeFile(folder_ / "Dr. Robotnik (USA)", kCounting);    // no extension
  writeFile(folder_ / "not really.zip", kSonicUsaEurope);  // not an archive by its bytes
  writeFile(folder_ / "broken.zip", "PK\x03\x04 and then nothing of a zip");
  writeFile(folder_ / "empty.sms", "");
  const Dat dat = parseDat(kSampleXml);
  const std::vector<Listed> listed = {
      {"Sonic the Hedgehog (USA, Europe).sms",
       "Sonic the Hedgehog (USA, Europe) / Sonic the Hedgehog (USA, Europe).sms",
       "Sonic the Hedgehog (USA, Europe).sms"},
      {"Sonic (J).zip", "Sonic the Hedgehog (Japan) / Sonic the Hedgehog (Japan).sms",
       "Sonic the Hedgehog (Japan).SMS"},
      {"beta.sms.gz", "Sonic the Hedgehog (USA) (Beta) / Sonic the Hedgehog (USA) (Beta).sms",
       "Sonic the Hedgehog (USA) (Beta).sms"},
      {"Bad.7z", "Bad Game (Europe) / Bad Game (Europe).sms, bad dump", "Bad Game (Europe).sg"},
      {"count.bin", "Counting Game (World) / Counting Game (World).sms",
       "Counting Game (World).bin"},
      {"copy of sonic.sms",
       "Sonic the Hedgehog (USA, Europe) / Sonic the Hedgehog (USA, Europe).sms, duplicate of 0",
       "Sonic the Hedgehog (USA, Europe).sms"},
      {"Unknown (Japan).sms", "unknown"},
      {"odd size.sms", "unknown"},
      {"Dr. Robotnik (USA)", "Counting Game (World) / Counting Game (World).sms, duplicate of 4"},
      {"not really.zip",
       "Sonic the Hedgehog (USA, Europe) / Sonic the Hedgehog (USA, Europe).sms, duplicate of 0",
       "Sonic the Hedgehog (USA, Europe).zip"},
      {"broken.zip", "unreadable: Cannot be unpacked: Unrecognized archive format"},
      {"gone.sms", "unreadable: No such file or directory"},
      {"empty.sms", "unknown"},
  };
  for (const std::size_t threads : {1, 2, 5}) check(dat, listed, threads);

  // A plain file is read once, and one of a size the DAT lacks not at all.
  for (const char* name : {"Sonic the Hedgehog (USA, Europe).sms", "count.bin"}) {
    EXPECT_EQ(files_.opened(folder_ / name), 3u) << name;
    EXPECT_EQ(files_.bytesRead(folder_ / name), 3 * memory_.status(folder_ / name).size) << name;
  }
  EXPECT_EQ(files_.opened(folder_ / "odd size.sms"), 0u);
  // An archive is looked into, and unpacked only when the DAT has a ROM of
  // the size it declares.
  writeArchive(folder_ / "other.zip", "zip", {{"other.sms", "hello"}});
  check(dat, {{"other.zip", "unknown"}}, 1);
  EXPECT_EQ(files_.opened(folder_ / "other.zip"), 1u);  // its first bytes and its directory
}

TEST_F(IdentificationTest, ConfirmsByShaOneWhereTheDatGivesIt) {
  // Three games with the bytes' size and CRC32: one of another SHA-1, one
  // with theirs, one without any. The file's own name decides between the
  // last two.
  const Dat dat = parseDat(R"(<datafile>
    <game name="Impostor"><rom name="i.sms" size="9" crc="cbf43926"
      sha1="0000000000000000000000000000000000000000"/></game>
    <game name="Counting"><rom name="c.sms" size="9" crc="cbf43926"
      sha1="f7c3bc1d808e04732adf679965ccc34ca7ae3441"/></game>
    <game name="Counting Again"><rom name="a.sms" size="9" crc="cbf43926"/></game>
    <game name="Other"><rom name="o.sms" size="9" crc="00000001"
      sha1="f7c3bc1d808e04732adf679965ccc34ca7ae3441"/></game>
    </datafile>)");
  writeFile(folder_ / "first.sms", kCounting);
  writeFile(folder_ / "Counting Again.sms", kCounting);
  check(dat,
        {{"first.sms", "Counting / c.sms", "Counting.sms"},
         {"Counting Again.sms", "Counting Again / a.sms", "Counting Again.sms"}},
        2);
  // Without the matching one, the impostor's SHA-1 keeps it out.
  const Dat impostor = parseDat(R"(<datafile>
    <game name="Impostor"><rom name="i.sms" size="9" crc="cbf43926"
      sha1="0000000000000000000000000000000000000000"/></game></datafile>)");
  check(impostor, {{"first.sms", "unknown"}}, 1);
}

}  // namespace
}  // namespace kavo::catalog
