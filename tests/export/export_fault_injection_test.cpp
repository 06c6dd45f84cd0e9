// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Fails every file operation of an export in turn and checks what the user is
// promised: an error naming the path and the reason, never a success, and
// after every failure the destination exactly as it was before the run (an
// earlier index and the user's own file included, no new index left beside
// it), the sources untouched (see support/fault_sweep.h).
#include <gtest/gtest.h>

#include <iostream>

#include "export/rom_set_export.h"
#include "support/fault_sweep.h"
#include "support/memory_file_system.h"

namespace kavo::testing {
namespace {

// A new destination for each run: 1, 2, ... under ROOT/runs.
std::function<std::string()> numberedDestinations(TestFiles& where) {
  return [&where, run = 0]() mutable {
    const std::string destination = where.root() / ("runs/" + std::to_string(++run));
    where.makeDirectories(destination);
    return destination;
  };
}

TEST(ExportFaultInjection, EveryFailingOperationIsReportedAndTakenBack) {
  constexpr int kRomCount = 65;  // three groups, the last one partly filled
  MemoryFileSystem where;
  RomFolder folder(where, kRomCount);
  const int faultPoints =
      sweep(folder, numberedDestinations(where), {kAllServices.begin(), kAllServices.end()},
            {kInjectedFaults.begin(), kInjectedFaults.end()});
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
  MemoryFileSystem where;
  RomFolder folder(where, kRomCount);
  // The earlier list lacks two games, so every later copy moves.
  std::vector<std::string> earlierNames = folder.names;
  earlierNames.erase(earlierNames.begin() + 40);
  earlierNames.erase(earlierNames.begin() + 5);
  const int faultPoints = sweep(
      folder, numberedDestinations(where), {kAllServices.begin(), kAllServices.end()},
      {HostError::NoSpace, HostError::IoError},
      [&](TestFiles&, const std::string& destination) {
        exportRomSet({destination, folder.source, earlierNames, destination + "/FILES.TXT"}, where);
        where.writeFile(destination + "/keep.txt", "the user's own file");
      },
      /*replace=*/true);
  std::cout << "fault points injected: " << faultPoints << "\n";
  EXPECT_GT(faultPoints, 2 * kRomCount);
}

}  // namespace
}  // namespace kavo::testing
