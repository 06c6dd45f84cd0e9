// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <vector>

#include "export/export_request.h"
#include "platform/services/file_system.h"
#include "platform/services/progress.h"

namespace kavo {

// What reading a layout back from its drive found.
struct LayoutCheck {
  // The destination holds a layout of this program's: group directories
  // with its copies only, and its manifest. When not, `why` says why.
  bool ours = false;
  std::string why;
  std::size_t copies = 0;  // in the manifest
  // Each difference, a line: "missing ROMS0/3.SMS", "different ROMS1/40.GG",
  // "extra ROMS2/77.SMS", "index differs: /media/usb/FILES.TXT".
  std::vector<std::string> differences;
};

// Reads every copy of the layout in `destination` back from the drive, the
// page cache passed by, and compares it with what the manifest says it
// holds; copies the manifest does not name are extra. With `against` (an
// export's request: its source, listed names and index path), also
// compares the layout with what that export would write: every listed file
// at its place with its source's bytes, nothing more, and the index byte
// for byte. Changes nothing.
LayoutCheck checkLayout(FileSystem& files, const std::string& destination,
                        const ExportRequest* against, Progress& progress);

}  // namespace kavo
