// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/layout_check.h"

#include <map>
#include <set>

#include "export/earlier_layout.h"
#include "export/export_paths.h"
#include "export/export_plan.h"
#include "export/manifest.h"
#include "export/quick_check.h"
#include "export/rom_layout.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

using paths::join;

// Each copy the manifest names, read back and hashed.
void checkCopies(FileSystem& files, const std::string& destination,
                 const std::vector<ManifestEntry>& entries, LayoutCheck& check,
                 Progress& progress) {
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const ManifestEntry& entry = entries[k];
    const std::string path = join(destination, entry.copy);
    progress.step("Checking " + std::to_string(k + 1) + " of " + std::to_string(entries.size()),
                  entry.copy, k, entries.size());
    const FileStatus status = files.status(path);
    if (status.type != FileType::Regular)
      check.differences.push_back("missing " + entry.copy);
    else if (status.size != entry.size || hashOf(files, path, Reading::FromMedium) != entry.hash)
      check.differences.push_back("different " + entry.copy);
  }
}

// What an export of `against` would write, compared with the manifest (whose
// copies checkCopies read back) and with the index.
void checkAgainst(FileSystem& files, const ExportRequest& against,
                  const std::map<std::string, const ManifestEntry*>& recorded, LayoutCheck& check) {
  const ExportPlan plan = planFromSources(against, files);
  std::set<std::string> listed;
  for (std::size_t j = 0; j < plan.count(); ++j) {
    const std::string source = plan.sourcePath(j);
    const std::string copy = plan.layoutPath(j);
    listed.insert(copy);
    const auto found = recorded.find(copy);
    if (found == recorded.end()) {
      check.differences.push_back("missing " + copy + " (" + source + ")");
      continue;
    }
    const bool same = recordMatchesSource(*found->second, plan.copies[j].source, [&] {
      return sourceHash(files, source, plan.archived(j));
    });
    if (!same) check.differences.push_back("different " + copy + " (" + source + ")");
  }
  for (const auto& [copy, entry] : recorded)
    if (!listed.count(copy)) check.differences.push_back("extra " + copy);
  const std::string expected = plan.index();
  const std::string& index = plan.paths.index();
  const std::optional<std::string> bytes =
      files.status(index).type == FileType::Regular
          ? readAtMost(files, index, expected.size(), Reading::FromMedium)
          : std::string();
  if (bytes != expected) check.differences.push_back("index differs: " + index);
}

}  // namespace

LayoutCheck checkLayout(FileSystem& files, const std::string& destination,
                        const ExportRequest* against, Progress& progress) {
  LayoutCheck check;
  EarlierLayout found;
  try {
    found = findEarlierLayout(files, destination);
  } catch (const ForeignEntry& foreign) {
    check.why = foreign.path() + ": " + foreign.reason();
    return check;
  }
  const std::string manifestPath = join(destination, kManifestName);
  const auto entries = files.status(manifestPath).type == FileType::Regular
                           ? readManifest(files, manifestPath, Reading::FromMedium)
                           : std::nullopt;
  if (found.groups.empty() || !entries) {
    check.why = destination + " holds no layout with a manifest of this program's";
    return check;
  }
  check.ours = true;
  check.copies = entries->size();
  checkCopies(files, destination, *entries, check, progress);
  std::map<std::string, const ManifestEntry*> recorded;
  for (const ManifestEntry& entry : *entries) recorded.emplace(entry.copy, &entry);
  for (const FoundGroup& group : found.groups)
    for (const DirectoryEntry& copy : group.copies)
      if (!recorded.count(layout::layoutPath(group.name, copy.name)))
        check.differences.push_back("extra " + layout::layoutPath(group.name, copy.name));
  if (against) checkAgainst(files, *against, recorded, check);
  progress.finish();
  return check;
}

}  // namespace kavo
