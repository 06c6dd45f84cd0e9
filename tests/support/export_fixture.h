// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtest/gtest.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "export/export_failure.h"
#include "export/export_request.h"
#include "export/export_summary.h"
#include "platform/services/posix_file_system.h"
#include "support/temp_directory.h"

namespace kavo::testing {

using Names = std::vector<std::string>;
using Tree = std::map<std::string, std::string>;

// The bytes of a ROM file, different for every name.
std::string romBytes(const std::string& name);

// "Game 000.gg", "Game 001.sms", ...: names that sort as numbered.
Names games(int from, int to);

// What stands under a destination, by path, as snapshot() gives it, but
// with the manifest shown as what it says of each copy and whether the copy
// holds that: "ROMS0/0.GG 115 right" a line. Two exports of the same sources
// then compare equal, whatever identities their manifests recorded.
Tree layoutSnapshot(const std::string& destination);

// What layoutSnapshot() shows for a manifest whose every copy is right.
std::string rightManifest(const std::vector<std::pair<std::string, std::uint64_t>>& copies);

// A folder of ROM files, ROOT/roms, and a destination, ROOT/usb, in a fresh
// directory, with the real file system.
class ExportFixture : public ::testing::Test {
 protected:
  ExportFixture();

  // Writes each listed ROM file into the source folder.
  void addRoms(const Names& names);

  // An export of `names` into `into` (the destination when empty), its
  // index there as FILES.TXT.
  ExportRequest request(Names names, bool replace = false, const std::string& into = {}) const;

  // What a plain export of `names` makes in an empty folder (layoutSnapshot).
  Tree freshExport(const Names& names);

  // The failure of an export that must fail.
  std::optional<ExportFailure> failure(const ExportRequest& request, FileSystem& through);

  TempDirectory root;
  const std::string source = root / "roms";
  const std::string destination = root / "usb";
  PosixFileSystem files;
};

}  // namespace kavo::testing
