// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What the export does not take on trust: a drive that stores less than it
// claims or loses a renamed folder's files, a source whose identity its file
// system makes up or that changes after the checks, a destination whose
// drive is gone or that is the ROM folder itself.
#include <gtest/gtest.h>

#include <functional>

#include "export/export_plan.h"
#include "export/export_writer.h"
#include "export/layout_check.h"
#include "export/manifest.h"
#include "export/rom_set_export.h"
#include "platform/services/forwarding_file_system.h"
#include "support/export_fixture.h"
#include "support/memory_file_system.h"

namespace kavo::testing {
namespace {

class DriveTrustTest : public ExportFixture {
 protected:
  // The destination as a stick of its own, claiming a gigabyte.
  void mountStick(Drive drive) {
    removeAll(destination);
    makeDirectories(destination);
    memory().mount(destination, {true, 4096, 1 << 30, 255, VolumeFormat::Fat}, drive);
  }
  void removeAll(const std::string& path) { where->removeAll(path); }
};

constexpr char kDriveLied[] =
    "The drive returned other bytes than were written to it, so it cannot be trusted: other files "
    "on it may have changed too, whatever this export took back. Test its real capacity (with a "
    "tool such as f3 or H2testw) before you use it again.";

// A stick that stores fewer blocks than it claims wraps later writes over
// earlier ones. Everything the export writes is flushed before anything is
// read back, so a manifest that wraps over a copy, or new copies that wrap
// over the copies a refresh keeps, are found; success is never reported,
// and the drive is said to be untrustworthy.
TEST_F(DriveTrustTest, AStickThatStoresLessThanItClaimsIsFoundOut) {
  const struct {
    const char* what;
    int first, second;     // games in the first export, and in the refresh; 0: none
    std::uint64_t stores;  // blocks of 4 KiB the stick keeps
  } cases[] = {
      // Ten copies and the index fill it; the manifest, written last, wraps
      // over the first of them.
      {"a manifest that wraps", 10, 0, 11},
      // Forty games fit; thirty more, with the new index and manifest, wrap
      // over copies the refresh keeps.
      {"new copies over kept ones", 40, 70, 50},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    mountStick(Drive{.stores = c.stores * 4096});
    addRoms(games(0, c.second ? c.second : c.first));
    if (c.second) exportRomSet(request(games(0, c.first)), files);
    const Tree before = snapshot(destination);
    const auto error =
        failure(request(games(0, c.second ? c.second : c.first), c.second != 0), files);
    ASSERT_TRUE(error) << "success was reported on a stick that wraps";
    EXPECT_EQ(error->step(), "verifying");
    EXPECT_EQ(error->note(), kDriveLied);
  }
}

// A drive that loses a renamed folder's files (the FUSE driver for FAT) is
// probed before a refresh renames anything: the refresh is refused, the
// earlier layout stays whole, and a plain export still works there.
TEST_F(DriveTrustTest, ADriveThatLosesRenamedFoldersRefusesARefresh) {
  mountStick(Drive{.losesRenamedFolders = true});
  addRoms(games(0, 35));
  exportRomSet(request(games(0, 35)), files);
  const Tree before = snapshot(destination);
  const auto error = failure(request(games(0, 35), true), files);
  ASSERT_TRUE(error);
  EXPECT_TRUE(error->refused());
  EXPECT_EQ(error->reason(),
            "Loses the files of a folder that is renamed (as the FUSE driver for FAT does), so a "
            "refresh here could lose your games");
  EXPECT_EQ(snapshot(destination), before);
}

// Where the sources' file system makes up its files' identities (inode
// numbers in lookup order, the change time the modification time), an
// identity proves nothing: a corrected dump of the same size and time, and
// two names swapped, are copied again, and --check compares the bytes.
TEST_F(DriveTrustTest, AnIdentityIsTrustedOnlyWhereItsFileSystemKeepsOne) {
  makeDirectories(source);
  memory().mount(source, MemoryFileSystem::plentyOfSpace(), Drive{.unstableIdentity = true});
  const Names names = games(0, 40);
  addRoms(names);
  exportRomSet(request(names), files);
  const auto [seconds, nanoseconds] = modified(source + "/Game 007.sms");
  writeFile(source + "/Game 007.sms", "ROM:" + romBytes("Game 007.sms").substr(4));
  memory().setModified(source + "/Game 007.sms", seconds, nanoseconds);
  const std::string a = readFile(source + "/Game 010.sms"), b = readFile(source + "/Game 011.sms");
  writeFile(source + "/Game 010.sms", b);
  writeFile(source + "/Game 011.sms", a);

  LayoutCheckRequest check{destination, destination + "/FILES.TXT", source, {}};
  SilentProgress quiet;
  EXPECT_EQ(checkLayout(files, check, quiet).differences,
            (std::vector<std::string>{"different ROMS0/7.SMS (" + source + "/Game 007.sms)",
                                      "different ROMS0/10.SMS (" + source + "/Game 010.sms)",
                                      "different ROMS0/11.SMS (" + source + "/Game 011.sms)"}));
  EXPECT_EQ(exportRomSet(request(names, true), files).reused, names.size() - 3);
  EXPECT_EQ(layoutSnapshot(destination), freshExport(names));
}

// Passes every call on, and rewrites one source just before its copy opens
// it, as another program might after the checks.
class RewritingSource final : public ForwardingFileSystem {
 public:
  RewritingSource(TestFiles& files, std::string path)
      : ForwardingFileSystem(files.files()), files_(files), path_(std::move(path)) {}
  FileStatus copyInto(const std::string& from, const OpenDirectory& into, const std::string& name,
                      const Seen& seen) override {
    if (from == path_) files_.appendTo(from, " and a few bytes more");
    return ForwardingFileSystem::copyInto(from, into, name, seen);
  }

 private:
  TestFiles& files_;
  std::string path_;
};

// A source that grows between the checks and its copy is not copied as it is
// now under what the checks found of it: the copy fails as changed, and the
// destination is as it was.
TEST_F(DriveTrustTest, ASourceThatChangedAfterTheChecksFailsItsCopy) {
  addRoms(games(0, 5));
  const Tree before = snapshot(destination);
  RewritingSource growing(*where, source + "/Game 003.gg");
  const auto error = failure(request(games(0, 5)), growing);
  ASSERT_TRUE(error);
  EXPECT_EQ(error->path(), source + "/Game 003.gg");
  EXPECT_EQ(error->reason(), "Changed while it was copied");
  EXPECT_EQ(snapshot(destination), before);
}

// Refusals the player's own mistakes deserve, each before anything is
// written: a refresh that lists nothing, a destination whose drive is gone
// since it was picked, a destination that is the ROM folder or inside it.
TEST_F(DriveTrustTest, ThePlayersOwnMistakesAreRefusedBeforeWriting) {
  addRoms(games(0, 35));
  exportRomSet(request(games(0, 35)), files);
  const std::uint64_t stick = files.status(destination).device;
  const struct {
    const char* what;
    std::function<ExportRequest()> asked;
    std::string reason;
  } cases[] = {
      {"a refresh of nothing", [&] { return request({}, true); },
       "Lists no file; a replace would leave none of the 35 games in " + destination},
      {"a drive gone since it was picked",
       [&] {
         ExportRequest gone = request(games(0, 35), true);
         gone.pickedOnDevice = stick + 1;
         return gone;
       },
       "Its drive is gone: it was unplugged or unmounted after the folder was picked"},
      {"the ROM folder", [&] { return request(games(0, 35), false, source); },
       "Is your ROM folder, or lies inside it: FILES.TXT, KAVOSUMS.TXT and ROMS0 would be put "
       "among your games, and listed as games the next time"},
  };
  const Tree before = snapshot(root.path());
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const auto error = failure(c.asked(), files);
    ASSERT_TRUE(error);
    EXPECT_TRUE(error->refused());
    EXPECT_EQ(error->reason(), c.reason);
    EXPECT_EQ(error->insideSource(), std::string(c.what) == "the ROM folder");
    EXPECT_EQ(snapshot(root.path()), before);
  }
  // Asked for, the ROM folder (a folder inside it here) takes the layout.
  makeDirectories(source + "/stick");
  ExportRequest inside = request(games(0, 3), false, source + "/stick");
  inside.intoSource = true;
  EXPECT_EQ(exportRomSet(inside, files).files, 3u);
}

// A refresh of a layout whose manifest is gone says how it decides instead.
TEST_F(DriveTrustTest, ARefreshWithoutAManifestSaysSo) {
  addRoms(games(0, 5));
  exportRomSet(request(games(0, 5)), files);
  where->removeAll(destination + "/" + kManifestName);
  EXPECT_EQ(exportRomSet(request(games(0, 5), true), files).notes,
            std::vector<std::string>{destination + "/" + kManifestName +
                                     " is missing; the earlier copies are compared byte for byte"});
}

}  // namespace
}  // namespace kavo::testing
