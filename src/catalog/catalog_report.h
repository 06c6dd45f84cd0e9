// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "catalog/dat_file.h"
#include "catalog/identification.h"

// What a folder holds of a DAT: the counts the summary gives, and the report
// --report writes.
namespace kavo::catalog {

struct CatalogCounts {
  std::size_t games = 0;       // in the DAT
  std::size_t held = 0;        // of them, with a file that is not a bad dump
  std::size_t unknown = 0;     // listed files the DAT does not know
  std::size_t badDumps = 0;    // listed files the DAT marks bad dumps
  std::size_t duplicates = 0;  // listed files that are the same ROM as an earlier one
  std::size_t unreadable = 0;  // listed files that could not be read
};

CatalogCounts countCatalog(const Dat& dat, const std::vector<Identity>& identities);

// "312 of 344 games, 9 unknown, 2 bad dumps", then ", 1 duplicate" and
// ", 1 unreadable" when there are any.
std::string summaryLine(const CatalogCounts& counts);

// The report as CSV (RFC 4180: fields quoted where they hold a comma, a
// quote or a line break, lines ended by CR LF), a header and then one row a
// game: each of the DAT's games in its order, "identified", "duplicate"
// (held by more than one file), "bad dump" (held only by bad dumps) or
// "missing", then each listed file the DAT does not know, "unknown" or
// "unreadable". Columns: Status, Game, Clone of, Files (the listed names,
// joined by " | "), Note. A field that a spreadsheet would take for a
// formula (starting with =, +, -, @) gets a leading apostrophe, since the
// names come from other people's files.
std::string catalogReport(const Dat& dat, const std::vector<std::string>& names,
                          const std::vector<Identity>& identities);

}  // namespace kavo::catalog
