// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "export/export_request.h"
#include "export/export_summary.h"
#include "platform/services/file_system.h"
#include "platform/services/progress.h"

namespace kavo {

// Where the index goes unless the user says otherwise: FILES.TXT in the
// destination.
std::string proposedIndexPath(const std::string& destination);

// Copies every listed file into group directories ROMS0, ROMS1, ... of 30
// under the destination, each renamed to its list index plus its extension,
// writes one index record per copy to the index path, pads the index to a
// multiple of 16 bytes, and flushes it all to the drive.
//
// All or nothing. The destination is claimed for this export alone, and
// everything that can be known in advance is checked and decided before
// anything is written (planExport); the plan is then carried out in phases
// (ExportWriter). The records go to a new file beside the index, which
// replaces the index by a rename only once the copies, the directories and
// the new index have reached the drive. A failure at any step, an
// interruption included, takes back what this export made and throws
// ExportFailure, whose step says where it failed and whose note says
// whether the destination is as it was or what could not be taken back.
//
// A replace (request.replace) takes an earlier layout in the destination
// instead of being refused by it: it first takes back what an interrupted
// export left, builds each group under its staged name beside the earlier
// layout (earlier copies that are still right are moved into it, the rest
// copied), and swaps it in once that and the new index have reached the
// drive; a failure up to there takes every rename back. Only then are the
// retired groups and the earlier copies nothing reused removed; what cannot
// be is named in the summary, not thrown, since the new layout is complete.
//
// `progress` hears of each copy and of the flush; it is finished before
// this returns or throws after writing began.
ExportSummary exportRomSet(const ExportRequest& request, FileSystem& files, Progress& progress);
ExportSummary exportRomSet(const ExportRequest& request, FileSystem& files);

}  // namespace kavo
