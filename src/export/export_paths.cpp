// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/export_paths.h"

#include "export/manifest.h"
#include "export/rom_layout.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

constexpr std::string_view kStagedSuffix = ".simplekavo-new";
constexpr std::string_view kRetiredSuffix = ".simplekavo-old";

std::string_view suffixOf(Waiting which) {
  return which == Waiting::Staged ? kStagedSuffix : kRetiredSuffix;
}

}  // namespace

std::string waitingName(std::string_view name, Waiting which) {
  return std::string(name) + std::string(suffixOf(which));
}

std::optional<std::string_view> nameWaitingAs(std::string_view name, Waiting which) {
  const std::string_view suffix = suffixOf(which);
  if (name.size() <= suffix.size() || !name.ends_with(suffix)) return std::nullopt;
  return name.substr(0, name.size() - suffix.size());
}

ExportPaths::ExportPaths(std::string destination, std::string indexPath)
    : destination_(std::move(destination)),
      index_(std::move(indexPath)),
      indexDirectory_(paths::parent(index_)) {}

std::string ExportPaths::group(std::size_t number) const {
  return paths::join(destination_, layout::groupDirectoryName(number));
}

std::string ExportPaths::group(std::size_t number, Waiting which) const {
  return waitingName(group(number), which);
}

std::string ExportPaths::manifest() const { return paths::join(destination_, kManifestName); }

std::string ExportPaths::copy(const std::string& groupDirectory, std::string_view name,
                              std::size_t listIndex) {
  return paths::join(groupDirectory, layout::copyFileName(name, listIndex));
}

void requireFits(const std::string& path, std::size_t nameLimit) {
  if (paths::leaf(path).size() > nameLimit || paths::tooLong(path))
    throw RunTimeError(ErrorNumber::BadFileName, path, "File name too long");
}

}  // namespace kavo
