// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/export_failure.h"
#include "export/export_request.h"
#include "export/export_summary.h"
#include "support/memory_file_system.h"
#include "support/test_files.h"

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
Tree layoutSnapshot(TestFiles& where, const std::string& destination);

// What layoutSnapshot() shows for a manifest whose every copy is right.
std::string rightManifest(const std::vector<std::pair<std::string, std::uint64_t>>& copies);

// A folder of ROM files, ROOT/roms, and a destination, ROOT/usb, in a fresh
// memory file system; or, given a DiskFiles, in a fresh directory on the
// disk. Its helpers (writeFile, snapshot, ...) work on the files it holds.
class ExportFixture : public ::testing::Test {
 protected:
  explicit ExportFixture(std::unique_ptr<TestFiles> where = std::make_unique<MemoryFileSystem>());

  // Writes each listed ROM file into the source folder.
  void addRoms(const Names& names);

  // An export of `names` into `into` (the destination when empty), its
  // index there as FILES.TXT.
  ExportRequest request(Names names, bool replace = false, const std::string& into = {}) const;

  // What a plain export of `names` makes in an empty folder (layoutSnapshot).
  Tree freshExport(const Names& names);

  // The failure of an export that must fail.
  std::optional<ExportFailure> failure(const ExportRequest& request, FileSystem& through);

  void writeFile(const std::string& path, std::string_view bytes) { where->writeFile(path, bytes); }
  std::string readFile(const std::string& path) { return where->readFile(path); }
  void makeDirectories(const std::string& path) { where->makeDirectories(path); }
  Tree snapshot(const std::string& under) { return where->snapshot(under); }
  Tree layoutSnapshot(const std::string& under) { return testing::layoutSnapshot(*where, under); }
  // The modification time of what stands at the path, links followed.
  std::pair<std::int64_t, std::uint32_t> modified(const std::string& path);
  // The memory file system the files are in; only for a fixture in memory.
  MemoryFileSystem& memory() { return dynamic_cast<MemoryFileSystem&>(*where); }

  const std::unique_ptr<TestFiles> where;
  FileSystem& files = where->files();
  const Folder& root = where->root();
  const std::string source = root / "roms";
  const std::string destination = root / "usb";
};

}  // namespace kavo::testing
