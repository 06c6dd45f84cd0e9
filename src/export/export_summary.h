// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace kavo {

// What an export did.
struct ExportSummary {
  std::string indexPath;    // where the index went, its file name upper-cased
  std::size_t files = 0;    // copies made
  std::size_t groups = 0;   // group directories made
  std::uint64_t bytes = 0;  // bytes copied
  // An earlier layout was replaced: of the copies, how many were earlier
  // copies moved to their new places (the rest were copied), and how many
  // earlier copies nothing reused were removed. What could not be removed
  // once the new layout was in place is named, "path (reason)"; the export
  // has completed all the same, and a later replace clears it.
  bool replaced = false;
  std::size_t reused = 0;
  std::size_t removed = 0;
  std::vector<std::string> notRemoved;
  // The directories whose volume does not tell its free space, which the
  // checks therefore could not compare with what the export needed.
  std::vector<std::string> spaceUnchecked;
  // What the user should know of how the export decided (see ExportPlan).
  std::vector<std::string> notes;
};

}  // namespace kavo
