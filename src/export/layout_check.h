// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/services/file_system.h"
#include "platform/services/progress.h"

namespace kavo {

// What to check a layout against.
struct LayoutCheckRequest {
  std::string destination;  // where the layout is
  std::string indexPath;    // its index, its file name upper-cased already
  // The folder the copies were made from; empty to check the layout alone.
  std::string source;
  // The files an export would list in `source`: asked only of a layout whose
  // manifest does not name the files it was made from (its first version).
  std::function<std::vector<std::string>()> listSource;
};

// What reading a layout back from its drive found.
struct LayoutCheck {
  // The destination holds a layout of this program's: group directories
  // with its copies only, and its manifest, naming only copies in their
  // places. When not, `why` says why.
  bool ours = false;
  std::string why;
  std::size_t copies = 0;  // in the manifest
  // Each difference, a line: "missing ROMS0/3.SMS", "different ROMS1/40.GG",
  // "extra ROMS2/77.SMS", "index differs: /media/usb/FILES.TXT".
  std::vector<std::string> differences;
};

// Reads every copy of the layout in `request.destination` back from the
// drive, the page cache passed by, each once, and compares it with what the
// manifest says it holds; copies the manifest does not name are extra, and
// the index must be the one the manifest's copies make. Nothing outside the
// layout is read, and no link is followed. With a source, it also compares
// the layout with what an export of the files the manifest names (or, for a
// manifest of the first version, of the listing) would write: every file at
// its place, its source's bytes in it (always compared, never taken on
// trust), and the index byte for byte. Changes nothing.
LayoutCheck checkLayout(FileSystem& files, const LayoutCheckRequest& request, Progress& progress);

}  // namespace kavo
