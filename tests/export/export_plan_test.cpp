// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the plan decides before anything is written: which earlier copies a
// replace can move instead of copying.
#include "export/export_plan.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <optional>

#include "export/layout_check.h"
#include "export/quick_check.h"
#include "export/rom_set_export.h"
#include "platform/services/forwarding_file_system.h"
#include "platform/services/progress.h"
#include "support/archive_files.h"
#include "support/error_of.h"
#include "support/export_fixture.h"

namespace kavo::testing {
namespace {

using ExportPlanTest = ExportFixture;

// The one predicate: the size first; then, without a record of the copy
// or when asked, the bytes as the drive returns them; else the record: the
// source unchanged since, or its bytes hashed to the recorded hash.
TEST_F(ExportPlanTest, AnEarlierCopyIsStillRightBySizeThenRecordOrBytes) {
  writeFile(source + "/rom", "the bytes");
  writeFile(destination + "/copy", "the bytes");
  writeFile(destination + "/other", "the BYTES");
  const FileStatus rom = files.status(source + "/rom");
  const ContentHash bytes = hashOf(files, source + "/rom");
  const ManifestEntry same{"ROMS0/0", 9, bytes, SourceIdentity::of(rom), {}, "rom", {}};
  ManifestEntry moved = same;  // another file now, with the same bytes
  moved.source.inode += 1;
  ManifestEntry changed = moved;  // and other bytes
  changed.hash.low += 1;
  ManifestEntry trusted = changed;  // the source as recorded: its record is trusted
  trusted.source = SourceIdentity::of(rom);
  const struct {
    const char* copy;
    std::uint64_t size;
    const ManifestEntry* recorded;
    bool compareBytes;
    std::optional<ContentHash> hash;
  } cases[] = {
      {"copy", 8, &same, false, std::nullopt},      // another size
      {"copy", 9, nullptr, false, bytes},           // no record: the same bytes
      {"other", 9, nullptr, false, std::nullopt},   // no record: other bytes
      {"other", 9, &same, true, std::nullopt},      // asked to compare the bytes
      {"other", 9, &trusted, false, changed.hash},  // the record is believed
      {"other", 9, &moved, false, bytes},           // a moved source, hashed
      {"copy", 9, &changed, false, std::nullopt},   // a changed source, hashed
  };
  for (const auto& c : cases) {
    FileStatus copy = files.status(destination + "/" + c.copy);
    copy.size = c.size;
    const SourceIdentity identity = SourceIdentity::of(rom);
    EXPECT_EQ(earlierCopyStillRight(files, destination + "/" + c.copy, copy, rom.size, &identity,
                                    c.recorded, c.compareBytes,
                                    [&] { return hashOf(files, source + "/rom"); }),
              c.hash)
        << c.copy << " " << c.size << " " << (c.recorded ? c.recorded->source.inode : 0);
  }
}

// A manifest that does not match the layout beside it, or cannot be read as
// one, is not trusted: the plan says so and compares the earlier copies
// byte for byte, reusing those still right.
TEST_F(ExportPlanTest, AManifestThatDoesNotMatchItsLayoutIsNotTrusted) {
  const Names names = games(0, 10);
  addRoms(names);
  exportRomSet(request(names), files);
  const std::string manifest = destination + "/" + kManifestName;
  const std::string text = readFile(manifest);
  const struct {
    const char* what;
    std::function<void()> damage;
    std::string note;
    std::size_t reused;
  } cases[] = {
      {"a copy of another size", [&] { writeFile(destination + "/ROMS0/4.SMS", "damaged"); },
       " does not match the layout beside it", 9},
      {"a hash broken",
       [&] {
         writeFile(manifest,
                   text.substr(0, text.find('\n') + 1) + "z" + text.substr(text.find('\n') + 2));
       },
       " cannot be read as a manifest", 10},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    exportRomSet(request(names, true), files);
    c.damage();
    const ExportRequest replace = request(names, true);
    DirectoryClaims claims;
    const ExportPlan plan = planExport(replace, files, claims);
    EXPECT_EQ(plan.notes, std::vector<std::string>{manifest + c.note +
                                                   "; the earlier copies are compared byte for "
                                                   "byte"});
    EXPECT_EQ(plan.reused, c.reused);
  }
}

// The plan looks at each source without opening it (the copy opens it
// anyway); only a name that may be an archive is opened, to read its
// first bytes.
TEST_F(ExportPlanTest, ThePlanOpensOnlyTheSourcesThatMayBeArchives) {
  struct CountingOpens final : ForwardingFileSystem {
    using ForwardingFileSystem::ForwardingFileSystem;
    std::atomic<int> opened = 0, others = 0;  // the archive's opens, and the rest
    std::unique_ptr<ReadableFile> openForReading(const std::string& path,
                                                 Reading reading) override {
      ++(path.ends_with("/Set.zip") ? opened : others);
      return ForwardingFileSystem::openForReading(path, reading);
    }
  } counting(files);
  Names names = games(0, 200);
  addRoms(names);
  writeFile(source + "/Set.zip", archiveBytes("zip", {{"set.sms", "rom"}}));
  names.push_back("Set.zip");
  DirectoryClaims claims;
  const ExportPlan plan = planExport(request(names), counting, claims);
  EXPECT_TRUE(plan.archived(plan.count() - 1));
  EXPECT_GE(counting.opened, 1);
  EXPECT_EQ(counting.others, 0);
}

// Names given for the records (a DAT's): the index and the manifest take
// them, a refresh finds the earlier copies by them, and a check of the
// layout against its sources expects them; the copies keep their names.
TEST_F(ExportPlanTest, RecordNamesGivenNameTheRecordsAndARefreshFindsThem) {
  writeFile(source + "/alpha.zip", archiveBytes("zip", {{"alpha.sms", "rom a"}}));
  addRoms({"beta.gg", "gamma.sms"});
  ExportRequest asked = request({"alpha.zip", "beta.gg", "gamma.sms"});
  asked.recordNames = {"Alpha (USA, Europe).sms", "", "Gamma (Japan).SMS"};
  exportRomSet(asked, files);
  const Tree tree = layoutSnapshot(destination);
  EXPECT_EQ(tree.at("FILES.TXT"),
            "Alpha (USA, Europe).sms,ROMS0\\0.sms\nbeta.gg,ROMS0\\1.gg\n"
            "Gamma (Japan).SMS,ROMS0\\2.SMS\n" +
                std::string(11, ' '));
  EXPECT_EQ(tree.at("ROMS0/0.SMS"), "rom a");
  EXPECT_EQ(tree.at("ROMS0/2.SMS"), romBytes("gamma.sms"));
  const std::string manifest = readFile(destination + "/" + kManifestName);
  EXPECT_NE(manifest.find("Gamma (Japan).SMS"), std::string::npos) << manifest;

  SilentProgress silent;
  const LayoutCheck check =
      checkLayout(files, {destination, destination + "/FILES.TXT", source, {}}, silent);
  EXPECT_TRUE(check.ours) << check.why;
  EXPECT_EQ(check.differences, std::vector<std::string>{});

  // A refresh with the same names reuses every copy; with the files' own
  // names it finds none of the renamed ones in the earlier index.
  ExportRequest again = asked;
  again.replace = true;
  EXPECT_EQ(exportRomSet(again, files).reused, 3u);
  again.recordNames.clear();
  EXPECT_EQ(exportRomSet(again, files).reused, 1u);
}

// A name given for a record is held to a record's rules and must keep its
// copy's extension, the archive's ROM's for an archive; every such refusal
// is named before anything is written.
TEST_F(ExportPlanTest, RecordNamesGivenAreRefusedWhereTheIndexCannotHoldThem) {
  writeFile(source + "/alpha.zip", archiveBytes("zip", {{"alpha.sms", "rom a"}}));
  addRoms({"beta.gg", "gamma.sms"});
  const Names names = {"alpha.zip", "beta.gg", "gamma.sms"};
  const struct {
    Names given;
    std::string path, reason;
  } cases[] = {
      {{"", "Beta.sms", ""},
       "beta.gg",
       "Its name in the index, \"Beta.sms\", does not end with its copy's extension, \".gg\""},
      {{"Alpha.zip", "", ""},
       "alpha.zip",
       "Its name in the index, \"Alpha.zip\", does not end with its copy's extension, "
       "\".sms\""},
      {{"", "", "Gamma\n(Japan).sms"},
       "gamma.sms",
       "Its name in the index, \"Gamma\n(Japan).sms\", contains a line break"},
      {{"", "Beta.g,g", ""},
       "beta.gg",
       "Its name in the index, \"Beta.g,g\", has a comma in its extension, which would break "
       "its record in the index"},
  };
  const Tree before = snapshot(root.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    ExportRequest asked = request(names);
    asked.recordNames = c.given;
    for (const bool planOnly : {false, true}) {
      const auto error = errorOf<ExportFailure>([&] {
        if (planOnly)
          planFromSources(asked, files);
        else
          exportRomSet(asked, files);
      });
      ASSERT_TRUE(error);
      EXPECT_TRUE(error->refused());
      EXPECT_EQ(error->number(), ErrorNumber::BadFileName);
      EXPECT_EQ(error->path(), source + "/" + c.path);
      EXPECT_EQ(error->reason(), c.reason);
    }
  }
  ExportRequest uneven = request(names);
  uneven.recordNames = {"Alpha.sms"};
  EXPECT_THROW(exportRomSet(uneven, files), std::invalid_argument);
  EXPECT_EQ(snapshot(root.path()), before);
}

}  // namespace
}  // namespace kavo::testing
