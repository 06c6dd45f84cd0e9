// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <ostream>
#include <string>
#include <string_view>

#include "export/export_plan.h"

namespace kavo {

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
