// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "catalog/one_per_game.h"
#include "catalog/region_order.h"
#include "export/export_plan.h"

namespace kavo {

// Prints which version of each game the export keeps, and why, before the
// plan: the regions' order, then each game in the order of its first file,
// with its files in list order, "keep NAME: WHY" or "drop NAME: WHY".
void printChoice(const catalog::Choice& choice, const std::vector<std::string>& listed,
                 const catalog::RegionOrder& order, std::ostream& out,
                 const std::function<std::string(std::string_view)>& shown);

// "Kept 120 of 400 files, one version of each game", and the games that
// keep none because they have only bad dumps.
std::string keptSummary(const catalog::Choice& choice);

// Prints what an export would do, from its plan, one action a line, under
// the names the layout ends with: what an interrupted export left, taken
// back ("rename FROM -> TO", "remove PATH"); each group's directory
// ("mkdir PATH", unless it takes the place of an earlier one) and its
// copies in list order ("copy FROM -> TO", or "reuse FROM -> TO" for an
// earlier copy moved); the earlier copies a replace removes ("remove
// PATH"); then the index, its size and its records, and a volume whose free space
// could not be checked. A copy whose name loses characters in the index
// is marked with the name the index gives it. `shown` turns a path or a
// name into the text printed, `shownRecord` a record of the index (its
// Windows-1252 bytes, without the line end).
void printPlan(const ExportPlan& plan, std::ostream& out,
               const std::function<std::string(std::string_view)>& shown,
               const std::function<std::string(std::string_view)>& shownRecord);

}  // namespace kavo
