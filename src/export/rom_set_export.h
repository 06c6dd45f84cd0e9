#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "export/export_failure.h"
#include "export/export_request.h"
#include "platform/services/file_system.h"
#include "platform/services/progress.h"

namespace kavo {

inline constexpr char kFlushingText[] = "Writing to the drive";
inline constexpr char kUndoingText[] = "Removing what this export made";

// "Copying k of N", the progress text for the k-th copy (counted from 1).
std::string copyingText(std::size_t number, std::size_t count);

// Where the index goes unless the user says otherwise: FILES.TXT in the
// destination.
std::string proposedIndexPath(const std::string& destination);

// What an export did.
struct ExportSummary {
  std::string indexPath;    // where the index went, its file name upper-cased
  std::size_t files = 0;    // copies made
  std::size_t groups = 0;   // group directories made
  std::uint64_t bytes = 0;  // bytes copied
  // An earlier layout was replaced: of the copies, how many were earlier copies moved to their
  // new places (the rest were copied), and how many earlier copies nothing
  // reused were removed. What could not be removed once the new layout was
  // in place is named, "path (reason)"; the export has completed all the
  // same, and a later replace clears it.
  bool replaced = false;
  std::size_t reused = 0;
  std::size_t removed = 0;
  std::vector<std::string> notRemoved;
  // The directories whose volume does not tell its free space, which the
  // checks therefore could not compare with what the export needed.
  std::vector<std::string> spaceUnchecked;
};

// Copies every listed file into group directories ROMS0, ROMS1, ... of 30
// under the destination, each renamed to its list index plus its extension,
// writes one index record per copy to the index path, pads the index to a
// multiple of 16 bytes, and flushes it all to the drive.
//
// All or nothing. Everything that can be known in advance is checked before
// anything is written (see checkBeforeWriting), and the destination is held
// for this export alone until it ends. The records go to a new file beside
// the index, which replaces the index by a rename only once the copies, the
// directories and the new index have reached the drive. A failure at any
// step, an interruption included, takes back what this export made (its
// copies, its group directories, its new index, an earlier index put back)
// and throws ExportFailure, whose step says where it failed and whose note
// says whether the destination is as it was or what could not be taken back.
//
// A replace (request.replace) takes an earlier layout in the destination
// instead of being refused by it. It first clears what an interrupted
// export left, then builds each group under its staged name beside the
// earlier layout: earlier copies that are still right (see
// checkBeforeWriting) are renamed into it, the rest copied. Once that and
// the new index have reached the drive, the earlier groups are renamed to
// their retired names and the staged ones to the group names; a failure up
// to there takes every rename back. Only then are the retired groups and
// the earlier copies nothing reused removed; what cannot be is named in the
// summary, not thrown, since the new layout is complete.
//
// `progress` hears of each copy and of the flush, which runs through its
// wait(); it is finished before this returns or throws.
ExportSummary exportRomSet(const ExportRequest& request, FileSystem& files, Progress& progress);
ExportSummary exportRomSet(const ExportRequest& request, FileSystem& files);

}  // namespace kavo
