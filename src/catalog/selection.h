// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "catalog/catalog_report.h"
#include "catalog/dat_file.h"
#include "catalog/identification.h"
#include "catalog/one_per_game.h"
#include "catalog/region_order.h"
#include "platform/services/file_system.h"

// A listed folder made into what the export takes: one version of each
// game, the DAT's names for the records, and what the DAT says of it all.
namespace kavo::catalog {

// What the player asked of the listed files beside the export itself.
struct SelectionRequest {
  bool onePerGame = false;  // keep one version of each game
  RegionOrder order = defaultRegionOrder("");
  bool datNames = false;    // records take the DAT's names (with a DAT)
  std::size_t threads = 4;  // files identified at once
};

// The listed files, what was found of them, and what the export takes.
struct Selection {
  std::vector<std::string> listed;  // every listed file, in list order
  std::optional<Dat> dat;
  std::vector<Identity> identities;  // with a DAT: one a listed file
  std::optional<Choice> choice;      // with onePerGame
  // The files the export takes, in list order (the kept ones, or all), and
  // the name each one's record takes when not its own (empty there), or
  // nothing at all when every file keeps its own: ExportRequest's names and
  // recordNames.
  std::vector<std::string> names;
  std::vector<std::string> recordNames;

  // What the folder holds of the DAT (with a DAT).
  CatalogCounts counts() const;
  // The report of --report (with a DAT).
  std::string report() const;
};

// Identifies every listed file in `source` by the DAT, when there is one,
// and chooses one version of each game when asked. A listed file that
// cannot be read is Unreadable and kept as it is; an interruption throws
// RunTimeError.
Selection select(FileSystem& files, const std::string& source, std::vector<std::string> listed,
                 const SelectionRequest& request, std::optional<Dat> dat = std::nullopt);

// The report may be written to `path`: not in the source folder, where it
// could take a game's place and would be listed as one the next time, not
// over a folder, and not over the DAT it is made from (`dat`, or empty).
// Throws RunTimeError naming the path.
void checkReportPath(FileSystem& files, const std::string& path, const std::string& source,
                     const std::string& dat = {});

// Writes the report to `path` whole or not at all: into a new file beside
// it, then renamed over what stood there (never written through a link).
// Checks the path as checkReportPath does first. Throws RunTimeError naming
// the path.
void writeReport(FileSystem& files, const std::string& path, const std::string& source,
                 const std::string& text, const std::string& dat = {});

}  // namespace kavo::catalog
