// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/fault_sweep.h"

#include <gtest/gtest.h>

#include "export/export_failure.h"
#include "export/manifest.h"
#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "support/export_fixture.h"

namespace kavo::testing {

namespace {

// A destination's tree without the group directories and the index.
Tree withoutGroups(Tree tree) {
  std::erase_if(tree, [](const auto& entry) {
    return entry.first.starts_with("ROMS") || entry.first == "FILES.TXT" ||
           entry.first == kManifestName;
  });
  return tree;
}

// What a destination holds apart from what an interrupted export leaves.
Tree withoutLeftovers(Tree tree) {
  std::erase_if(tree, [](const auto& entry) {
    return entry.first.find(".simplekavo-") != std::string::npos;
  });
  return tree;
}

}  // namespace

RomFolder::RomFolder(TestFiles& where, int romCount)
    : where(where), source(where.root() / "roms"), count(romCount) {
  where.makeDirectories(source);
  for (int i = 0; i < count; ++i) {
    names.push_back("Game " + std::to_string(i) + (i % 2 ? ".sms" : ".gg"));
    where.writeFile(source + "/" + names.back(), "rom " + names.back());
    index += layout::record(names.back(), i);
  }
  index += std::string(layout::paddingLength(index.size()), ' ');
}

Tree RomFolder::completed(Tree before) const {
  before["FILES.TXT"] = index;
  std::vector<std::pair<std::string, std::uint64_t>> copies;
  for (int j = 0; j < count; ++j)
    copies.emplace_back(layout::groupDirectoryName(layout::groupNumberOf(j)) + "/" +
                            layout::copyFileName(names[j], j),
                        ("rom " + names[j]).size());
  before[kManifestName] = rightManifest(copies);
  for (int j = 0; j < count; ++j) {
    const std::string group = layout::groupDirectoryName(layout::groupNumberOf(j));
    before[group] = "<dir>";
    before[group + "/" + layout::copyFileName(names[j], j)] = "rom " + names[j];
  }
  before[layout::groupDirectoryName(layout::groupCount(count) - 1)] = "<dir>";
  return before;
}

void earlierIndexAndOwnFile(TestFiles& where, const std::string& destination) {
  where.writeFile(destination + "/FILES.TXT", "the index of an earlier export");
  where.writeFile(destination + "/keep.txt", "the user's own file");
}

int sweep(const RomFolder& folder, const std::function<std::string()>& freshDestination,
          const std::vector<Service>& services, const std::vector<HostError>& faults,
          const std::function<void(TestFiles&, const std::string&)>& prepare, bool replace) {
  TestFiles& where = folder.where;
  const Tree sourceBefore = where.snapshot(folder.source);
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
      const std::string reason = hostError(fault, {}).reason();
      for (int k = 1;; ++k) {
        SCOPED_TRACE(std::string(nameOf(service)) + " call " + std::to_string(k) + " fails with " +
                     reason);
        const std::string destination = freshDestination();
        prepare(where, destination);
        const Tree before = where.snapshot(destination);

        FaultInjectingFileSystem files(where.files(), service, k, fault);
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
            EXPECT_EQ(withoutLeftovers(layoutSnapshot(where, destination)),
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
          EXPECT_EQ(layoutSnapshot(where, destination),
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
          // Only the probe of folder renames writes before the checks end,
          // and it leaves nothing behind.
          if (!looking && failure->path().find(".simplekavo-probe") == std::string::npos) {
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
        EXPECT_EQ(where.snapshot(destination), before) << "the destination is as it was";
        EXPECT_EQ(where.snapshot(folder.source), sourceBefore);
        if (::testing::Test::HasFailure()) return faultPoints;  // one clear report is enough
      }
    }
  }
  return faultPoints;
}

}  // namespace kavo::testing
