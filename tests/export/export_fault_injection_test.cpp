// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Fails every file operation of an export in turn and checks what the user is
// promised: an error naming the path and the reason, never a success, and
// after every failure the destination exactly as it was before the run (an
// earlier index and the user's own file included, no new index left beside
// it), the sources untouched.
#include <gtest/gtest.h>

#include <filesystem>
#include <iostream>

#include "export/export_failure.h"
#include "export/manifest.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "platform/services/posix_file_system.h"
#include "platform/services/run_time_error.h"
#include "support/export_fixture.h"
#include "support/fault_injecting_file_system.h"
#include "support/mounted_volume.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::FaultInjectingFileSystem;
using testing::HostError;
using testing::readFile;
using testing::Service;
using testing::snapshot;
using testing::TempDirectory;
using testing::writeFile;
using Tree = std::map<std::string, std::string>;

struct RomFolder {
  TempDirectory root;
  std::string source = root / "roms";
  int count;
  std::vector<std::string> names;
  std::string index;  // what FILES.TXT holds after a complete export

  explicit RomFolder(int romCount) : count(romCount) {
    testing::makeDirectories(source);
    for (int i = 0; i < count; ++i) {
      names.push_back("Game " + std::to_string(i) + (i % 2 ? ".sms" : ".gg"));
      writeFile(source + "/" + names.back(), "rom " + names.back());
      index += layout::record(names.back(), i);
    }
    index += std::string(layout::paddingLength(index.size()), ' ');
  }

  // The complete layout, as it stands under the destination after a
  // completed export, beside what `before` held.
  Tree completed(Tree before) const {
    before["FILES.TXT"] = index;
    std::vector<std::pair<std::string, std::uint64_t>> copies;
    for (int j = 0; j < count; ++j)
      copies.emplace_back(layout::groupDirectoryName(layout::groupNumberOf(j)) + "/" +
                              layout::copyFileName(names[j], j),
                          ("rom " + names[j]).size());
    before[kManifestName] = testing::rightManifest(copies);
    for (int j = 0; j < count; ++j) {
      const std::string group = layout::groupDirectoryName(layout::groupNumberOf(j));
      before[group] = "<dir>";
      before[group + "/" + layout::copyFileName(names[j], j)] = "rom " + names[j];
    }
    before[layout::groupDirectoryName(layout::groupCount(count) - 1)] = "<dir>";
    return before;
  }
};

// A destination's tree without the group directories and the index.
Tree withoutGroups(Tree tree) {
  std::erase_if(tree, [](const auto& entry) {
    return entry.first.starts_with("ROMS") || entry.first == "FILES.TXT" ||
           entry.first == kManifestName;
  });
  return tree;
}

// A new destination for each run: 1, 2, ... under `runs`.
std::function<std::string()> numberedDestinations(const TempDirectory& runs) {
  return [&runs, run = 0]() mutable {
    const std::string destination = runs / std::to_string(++run);
    testing::makeDirectories(destination);
    return destination;
  };
}

// The sweep over one destination: for every service and fault, fail the
// k-th call for k = 1, 2, ... until a run completes. Returns the number of
// failing runs.
// What stands in a destination before the export under test: by default an
// earlier index and the user's own file.
void earlierIndexAndOwnFile(const std::string& destination) {
  writeFile(destination + "/FILES.TXT", "the index of an earlier export");
  writeFile(destination + "/keep.txt", "the user's own file");
}

// What a destination holds apart from what an interrupted export leaves.
Tree withoutLeftovers(Tree tree) {
  std::erase_if(tree, [](const auto& entry) {
    return entry.first.find(".simplekavo-") != std::string::npos;
  });
  return tree;
}

int sweep(const RomFolder& folder, const std::function<std::string()>& freshDestination,
          const std::vector<Service>& services, const std::vector<HostError>& faults,
          const std::function<void(const std::string&)>& prepare = earlierIndexAndOwnFile,
          bool replace = false) {
  const Tree sourceBefore = snapshot(folder.source);
  PosixFileSystem realFiles;
  int faultPoints = 0;
  for (Service service : services) {
    // A refusal before writing is the same whatever the reason: one will do;
    // so is a read that fails, which a drive reports as an I/O error.
    const bool looking = service == Service::Look || service == Service::Lock;
    const std::vector<HostError> tried = looking ? std::vector{faults.front()}
                                         : service == Service::ReadBack
                                             ? std::vector{HostError::IoError}
                                             : faults;
    for (HostError fault : tried) {
      const std::string reason = testing::hostError(fault, {}).reason();
      for (int k = 1;; ++k) {
        SCOPED_TRACE(std::string(testing::nameOf(service)) + " call " + std::to_string(k) +
                     " fails with " + reason);
        const std::string destination = freshDestination();
        prepare(destination);
        const Tree before = snapshot(destination);

        FaultInjectingFileSystem files(realFiles, service, k, fault);
        std::optional<ExportFailure> failure;
        bool completed = false;
        ExportRequest request{destination, folder.source, folder.names, destination + "/FILES.TXT"};
        request.replace = replace;
        try {
          const ExportSummary summary = exportRomSet(request, files);
          completed = true;
          if (files.injected()) {
            // Failed once the new layout was in place, removing what was
            // left of the old one: the export is complete all the same,
            // and says what it left.
            ++faultPoints;
            EXPECT_TRUE(service == Service::Remove || service == Service::Sync);
            EXPECT_FALSE(summary.notRemoved.empty());
            EXPECT_EQ(withoutLeftovers(testing::layoutSnapshot(destination)),
                      folder.completed(withoutGroups(before)));
            if (::testing::Test::HasFailure()) return faultPoints;
            continue;
          }
        } catch (const ExportFailure& raised) {
          failure = raised;
        }
        if (!files.injected()) {
          // Every call of the service has been failed once: this run is whole.
          EXPECT_FALSE(failure) << failure->what();
          EXPECT_TRUE(completed);
          EXPECT_EQ(testing::layoutSnapshot(destination),
                    replace ? folder.completed(withoutGroups(before)) : folder.completed(before));
          break;
        }
        ++faultPoints;
        EXPECT_TRUE(failure);
        if (failure) {
          EXPECT_FALSE(failure->path().empty());
          EXPECT_EQ(failure->reason(), reason);
          EXPECT_NE(std::string(failure->what()).find(failure->path()), std::string::npos);
          EXPECT_FALSE(failure->step().empty());
          // The checks come before any writing; looks later on (reading
          // the sources back, listing the swapped groups) are failures
          // part-way like any other.
          EXPECT_EQ(failure->refused(), failure->step().starts_with("checking"));
          if (!looking) {
            EXPECT_FALSE(failure->refused());
          }
          // A volume that does not tell its free space (the FUSE stand-in
          // for FAT32) is named after a full disk, as it could not be checked.
          if (!failure->refused()) {
            EXPECT_EQ(failure->note().substr(0, failure->note().find('\n')),
                      "The destination was left as it was.")
                << failure->note();
          }
        }
        EXPECT_FALSE(completed) << "no success is reported";
        EXPECT_EQ(snapshot(destination), before) << "the destination is as it was";
        EXPECT_EQ(snapshot(folder.source), sourceBefore);
        if (::testing::Test::HasFailure()) return faultPoints;  // one clear report is enough
      }
    }
  }
  return faultPoints;
}

TEST(ExportFaultInjection, EveryFailingOperationIsReportedAndTakenBack) {
  constexpr int kRomCount = 65;  // three groups, the last one partly filled
  RomFolder folder(kRomCount);
  TempDirectory runs;
  const int faultPoints = sweep(folder, numberedDestinations(runs),
                                {testing::kAllServices.begin(), testing::kAllServices.end()},
                                {testing::kInjectedFaults.begin(), testing::kInjectedFaults.end()});
  std::cout << "fault points injected: " << faultPoints << "\n";
  // Every copy fails once with each fault, every source is looked at, and
  // the directories, the index and the flush come on top.
  EXPECT_GT(faultPoints, 4 * kRomCount + kRomCount);
}

// Replacing an earlier layout, which also moves earlier copies to their new
// places and swaps whole group directories: after every failure before the
// new layout is in place, the earlier one is back exactly, with nothing of
// the new one beside it.
TEST(ExportFaultInjection, EveryFailingOperationOfAReplaceLeavesTheEarlierLayout) {
  constexpr int kRomCount = 65;
  RomFolder folder(kRomCount);
  // The earlier list lacks two games, so every later copy moves.
  std::vector<std::string> earlierNames = folder.names;
  earlierNames.erase(earlierNames.begin() + 40);
  earlierNames.erase(earlierNames.begin() + 5);
  PosixFileSystem realFiles;
  TempDirectory runs;
  const int faultPoints = sweep(
      folder, numberedDestinations(runs),
      {testing::kAllServices.begin(), testing::kAllServices.end()},
      {HostError::NoSpace, HostError::IoError},
      [&](const std::string& destination) {
        exportRomSet({destination, folder.source, earlierNames, destination + "/FILES.TXT"},
                     realFiles);
        writeFile(destination + "/keep.txt", "the user's own file");
      },
      /*replace=*/true);
  std::cout << "fault points injected: " << faultPoints << "\n";
  EXPECT_GT(faultPoints, 2 * kRomCount);
}

// On the file system of players' USB drives, mounted from an image: an export
// over an earlier index completes exactly, and a failure at any point leaves
// the volume as it was. (The FUSE stand-in loses a renamed directory's
// contents; the export renames files only.)
TEST(ExportFaultInjection, OnAFat32VolumeEveryFailureLeavesTheVolumeAsItWas) {
  // Two groups; the services that change the volume (the looking ones do
  // the same on every file system, and the FUSE stand-in is slow).
  constexpr int kRomCount = 35;
  RomFolder folder(kRomCount);
  TempDirectory scratch;
  testing::makeDirectories(scratch / "usb");
  auto volume = testing::MountedVolume::fat32(scratch / "usb", scratch / "fat.img", 64);
  if (!volume.mounted()) GTEST_SKIP() << volume.why();
  int run = 0;
  const int faultPoints =
      sweep(folder,
            [&] {
              // Each run in a directory of its own on the one volume.
              const std::string destination = scratch / ("usb/RUN" + std::to_string(++run));
              testing::makeDirectories(destination);
              return destination;
            },
            {Service::Open, Service::Print, Service::Close, Service::MakeDirectory, Service::Copy,
             Service::Rename, Service::Remove, Service::Sync},
            {HostError::NoSpace});
  std::cout << "fault points injected on FAT32: " << faultPoints << "\n";
  // Every copy fails once, and the directories, the index and the flush
  // come on top.
  EXPECT_GT(faultPoints, kRomCount);
}

}  // namespace
}  // namespace kavo
