// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "support/fault_injecting_file_system.h"
#include "support/test_files.h"

namespace kavo::testing {

// A folder of ROM files to export in a fault sweep, and what a completed
// export of it leaves.
struct RomFolder {
  RomFolder(TestFiles& where, int romCount);

  // The complete layout, as it stands under the destination after a
  // completed export, beside what `before` held.
  std::map<std::string, std::string> completed(std::map<std::string, std::string> before) const;

  TestFiles& where;
  std::string source;
  int count;
  std::vector<std::string> names;
  std::string index;  // what FILES.TXT holds after a complete export
};

// What stands in a destination before the export under test: by default an
// earlier index and the user's own file.
void earlierIndexAndOwnFile(TestFiles& where, const std::string& destination);

// Fails every call of each service in turn, with each fault: for k = 1, 2,
// ... the k-th call fails, in a fresh destination each time, until a run
// completes. After each failure the error names the path and the reason, no
// success is reported, and the destination and the sources are exactly as
// they were; after a failure once the new layout is in place (removing what
// is left of the old one), the export completes and says what it left.
// Returns the number of failing runs.
int sweep(
    const RomFolder& folder, const std::function<std::string()>& freshDestination,
    const std::vector<Service>& services, const std::vector<HostError>& faults,
    const std::function<void(TestFiles&, const std::string&)>& prepare = earlierIndexAndOwnFile,
    bool replace = false);

}  // namespace kavo::testing
