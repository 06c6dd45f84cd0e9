// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/rom_set_export.h"

#include "export/export_plan.h"
#include "export/export_writer.h"
#include "platform/services/paths.h"

namespace kavo {

std::string proposedIndexPath(const std::string& destination) {
  return paths::join(destination, "FILES.TXT");
}

ExportSummary exportRomSet(const ExportRequest& request, FileSystem& files) {
  SilentProgress silent;
  return exportRomSet(request, files, silent);
}

ExportSummary exportRomSet(const ExportRequest& request, FileSystem& files, Progress& progress) {
  DirectoryClaims claims;  // held until the export ends
  const ExportPlan plan = planExport(request, files, claims);
  return ExportWriter(plan, files, progress).run();
}

}  // namespace kavo
