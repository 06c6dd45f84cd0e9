// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/layout_check.h"

#include <optional>
#include <set>

#include "export/earlier_layout.h"
#include "export/export_plan.h"
#include "export/manifest.h"
#include "export/quick_check.h"
#include "export/rom_layout.h"
#include "export/windows1252.h"
#include "platform/services/paths.h"
#include "text/counts.h"

namespace kavo {

namespace {

// An index of a few hundred thousand games is a few megabytes.
constexpr std::size_t kLargestIndex = 64 * 1024 * 1024;

// Where entry k of a manifest says its copy is, when that is copy k's place
// in the layout (with the name the index gives it, for a manifest that
// records one); nothing when it is anywhere else.
std::optional<std::pair<std::string, std::string>> placeOf(const ManifestEntry& entry,
                                                           std::size_t k) {
  const std::string group = layout::groupDirectoryName(layout::groupNumberOf(k));
  if (!entry.copy.starts_with(group + "/")) return std::nullopt;
  std::string name = entry.copy.substr(group.size() + 1);
  if (!entry.listed.empty()) {
    if (name != layout::copyFileName(entry.recordName(), k)) return std::nullopt;
  } else {
    // Copy k's name: k, then an extension (one dot, first) or a whole name
    // without a dot, upper-cased.
    const std::string number = std::to_string(k);
    const std::string_view rest = std::string_view(name).substr(number.size());
    const std::size_t dot = rest.rfind('.');
    if (!name.starts_with(number) || rest.empty() || (dot != 0 && dot != std::string::npos) ||
        !isCopyNameInGroup(name, layout::groupNumberOf(k)))
      return std::nullopt;
  }
  return std::pair{group, std::move(name)};
}

// Each copy the manifest names, read back and hashed, each once; a copy the
// manifest places anywhere but at its own place in the layout makes the
// manifest not ours.
bool checkCopies(FileSystem& files, const std::string& destination,
                 const std::vector<ManifestEntry>& entries, LayoutCheck& check,
                 Progress& progress) {
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const ManifestEntry& entry = entries[k];
    const auto place = placeOf(entry, k);
    if (!place) {
      check.why = paths::join(destination, kManifestName) + " names " + entry.copy +
                  ", which is not a copy's place in the layout";
      return false;
    }
    const std::string path = paths::join(paths::join(destination, place->first), place->second);
    progress.step("Checking " + withThousands(k + 1) + " of " + withThousands(entries.size()),
                  entry.copy, k, entries.size());
    const FileStatus status = files.status(path, Look::Entry);
    if (status.type != FileType::Regular)
      check.differences.push_back("missing " + entry.copy);
    else if (status.size != entry.size || hashOf(files, path, Reading::FromMedium) != entry.hash)
      check.differences.push_back("different " + entry.copy);
  }
  return true;
}

// The index as the drive returns it; nothing when there is none, or one
// too large to be one.
std::optional<std::string> readIndex(FileSystem& files, const std::string& path) {
  if (files.status(path, Look::Entry).type != FileType::Regular) return std::nullopt;
  return readAtMost(files, path, kLargestIndex, Reading::FromMedium);
}

// The index the manifest's copies make: its records from the names it
// recorded; for a manifest of the first version, which recorded none, the
// index need only hold a record for each copy, in its place.
bool indexMatchesManifest(const std::string& bytes, const std::vector<ManifestEntry>& entries) {
  const bool named = !entries.empty() && !entries.front().listed.empty();
  if (named) {
    std::string expected;
    for (std::size_t k = 0; k < entries.size(); ++k)
      expected += layout::record(entries[k].recordName(), k);
    expected.append(layout::paddingLength(expected.size()), ' ');
    return bytes == expected;
  }
  const auto records = parseEarlierIndex(bytes);
  if (!records || records->size() != entries.size()) return false;
  for (std::size_t k = 0; k < entries.size(); ++k) {
    const std::string copy =
        layout::layoutPath(layout::groupDirectoryName(layout::groupNumberOf(k)),
                           layout::copyFileName(fromWindows1252((*records)[k].name), k));
    if (layout::upperCaseAscii(copy) != layout::upperCaseAscii(entries[k].copy)) return false;
  }
  return true;
}

// What an export of the sources would write, compared with the manifest
// (whose copies checkCopies read back) and with the index: the files the
// manifest names, or for one of the first version the listing.
void checkAgainstSources(FileSystem& files, const LayoutCheckRequest& request,
                         const std::vector<ManifestEntry>& entries,
                         const std::optional<std::string>& index, LayoutCheck& check) {
  const bool named = !entries.empty() && !entries.front().listed.empty();
  ExportRequest against{request.destination, request.source, {}, request.indexPath};
  if (named)
    for (const ManifestEntry& entry : entries) {
      against.names.push_back(entry.listed);
      // The name the index gave it, when not its own (from a DAT).
      against.recordNames.push_back(entry.record);
    }
  else if (request.listSource)
    against.names = request.listSource();
  const ExportPlan plan = planFromSources(against, files);
  std::set<std::string> listed;
  for (std::size_t j = 0; j < plan.count(); ++j) {
    const std::string source = plan.sourcePath(j);
    const std::string copy = plan.layoutPath(j);
    listed.insert(copy);
    if (j >= entries.size() || entries[j].copy != copy) {
      check.differences.push_back("missing " + copy + " (" + source + ")");
      continue;
    }
    // Always the bytes: an identity is only as good as the file system
    // that keeps it.
    if (sourceHash(files, source, plan.archived(j)) != entries[j].hash)
      check.differences.push_back("different " + copy + " (" + source + ")");
  }
  for (const ManifestEntry& entry : entries)
    if (!listed.count(entry.copy)) check.differences.push_back("extra " + entry.copy);
  if (index && *index != plan.index())
    check.differences.push_back("index differs: " + request.indexPath);
}

}  // namespace

LayoutCheck checkLayout(FileSystem& files, const LayoutCheckRequest& request, Progress& progress) {
  LayoutCheck check;
  const std::string& destination = request.destination;
  EarlierLayout found;
  try {
    found = findEarlierLayout(files, destination);
  } catch (const ForeignEntry& foreign) {
    check.why = foreign.path() + ": " + foreign.reason();
    return check;
  }
  const std::string manifestPath = paths::join(destination, kManifestName);
  const auto entries = files.status(manifestPath, Look::Entry).type == FileType::Regular
                           ? readManifest(files, manifestPath, Reading::FromMedium)
                           : std::nullopt;
  if (found.groups.empty() || !entries) {
    check.why = destination + " holds no layout with a manifest of this program's";
    return check;
  }
  check.copies = entries->size();
  if (!checkCopies(files, destination, *entries, check, progress)) return check;
  check.ours = true;
  std::set<std::string> recorded;
  for (const ManifestEntry& entry : *entries) recorded.insert(entry.copy);
  for (const FoundGroup& group : found.groups)
    for (const DirectoryEntry& copy : group.copies)
      if (!recorded.count(layout::layoutPath(group.name, copy.name)))
        check.differences.push_back("extra " + layout::layoutPath(group.name, copy.name));
  const std::optional<std::string> index = readIndex(files, request.indexPath);
  if (!index)
    check.differences.push_back("missing index " + request.indexPath);
  else if (request.source.empty() && !indexMatchesManifest(*index, *entries))
    check.differences.push_back("index differs: " + request.indexPath);
  if (!request.source.empty()) checkAgainstSources(files, request, *entries, index, check);
  progress.finish();
  return check;
}

}  // namespace kavo
