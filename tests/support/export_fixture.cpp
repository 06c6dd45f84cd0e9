// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/export_fixture.h"

#include <cstdio>

#include "export/manifest.h"
#include "export/quick_check.h"
#include "export/rom_set_export.h"
#include "platform/services/paths.h"
#include "support/error_of.h"

namespace kavo::testing {

std::string romBytes(const std::string& name) { return "rom:" + name + std::string(100, '\x01'); }

Names games(int from, int to) {
  Names names;
  for (int i = from; i < to; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "Game %03d.%s", i, i % 3 ? "sms" : "gg");
    names.push_back(name);
  }
  return names;
}

Tree layoutSnapshot(TestFiles& where, const std::string& destination) {
  Tree tree = where.snapshot(destination);
  const auto manifest = tree.find(kManifestName);
  if (manifest == tree.end()) return tree;
  const auto entries = parseManifest(manifest->second);
  std::string shown = entries ? "" : "not a manifest";
  for (const ManifestEntry& entry : entries.value_or(std::vector<ManifestEntry>{})) {
    const auto copy = tree.find(entry.copy);
    const bool right = copy != tree.end() && copy->second.size() == entry.size &&
                       hashOf(where.files(), paths::join(destination, entry.copy)) == entry.hash;
    shown += entry.copy + " " + std::to_string(entry.size) + (right ? " right\n" : " WRONG\n");
  }
  manifest->second = shown;
  return tree;
}

std::string rightManifest(const std::vector<std::pair<std::string, std::uint64_t>>& copies) {
  std::string shown;
  for (const auto& [copy, size] : copies) shown += copy + " " + std::to_string(size) + " right\n";
  return shown;
}

ExportFixture::ExportFixture(std::unique_ptr<TestFiles> files) : where(std::move(files)) {
  makeDirectories(source);
  makeDirectories(destination);
}

void ExportFixture::addRoms(const Names& names) {
  for (const std::string& name : names) writeFile(source + "/" + name, romBytes(name));
}

ExportRequest ExportFixture::request(Names names, bool replace, const std::string& into) const {
  const std::string& where = into.empty() ? destination : into;
  ExportRequest request{where, source, std::move(names), where + "/FILES.TXT"};
  request.replace = replace;
  return request;
}

Tree ExportFixture::freshExport(const Names& names) {
  const std::string fresh = root / "fresh";
  makeDirectories(fresh);
  exportRomSet(request(names, false, fresh), files);
  Tree tree = layoutSnapshot(fresh);
  where->removeAll(fresh);
  return tree;
}

std::optional<ExportFailure> ExportFixture::failure(const ExportRequest& request,
                                                    FileSystem& through) {
  return errorOf<ExportFailure>([&] { exportRomSet(request, through); });
}

std::pair<std::int64_t, std::uint32_t> ExportFixture::modified(const std::string& path) {
  const FileStatus status = files.status(path, Look::Target);
  EXPECT_NE(status.type, FileType::Missing) << path;
  return {status.modifiedSeconds, status.modifiedNanoseconds};
}

}  // namespace kavo::testing
