#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "export/earlier_layout.h"
#include "export/export_request.h"
#include "platform/services/file_system.h"

namespace kavo {

// The steps of the checks, as a failure names them.
inline constexpr char kCheckingNames[] = "checking the names";
inline constexpr char kCheckingDestination[] = "checking the destination";
inline constexpr char kCheckingIndexPath[] = "checking the index path";
inline constexpr char kCheckingSources[] = "checking the sources";
inline constexpr char kCheckingSpace[] = "checking free space";

// Where an export puts its index, and what the checks before writing found
// out for the writing to use.
struct ExportPlan {
  std::string indexPath;  // the index, its file name upper-cased
  std::string indexDirectory;
  std::string newIndexPath;          // the records are written here first
  std::string earlierIndexPath;      // an earlier index waits here until the
                                     // new one has reached the drive
  bool replacesIndex = false;        // an earlier index stands at indexPath
  std::uint64_t bytes = 0;           // what the copies will write (a reused
                                     // earlier copy writes nothing)
  std::vector<std::uint64_t> sizes;  // each source's, in list order

  // A replace: what earlier exports left in the destination, and whether
  // the new layout is built beside an earlier one (staged) and swapped in.
  EarlierLayout earlier;
  bool staged = false;
  // What an interrupted export left, cleared before a replace starts.
  std::vector<std::string> leftoverFiles;  // beside the index
  // The earlier index stands only under its waiting name (an export was
  // interrupted between the index's two renames): a replace puts it back
  // first, before anything is removed.
  bool restoresIndex = false;
  // The directories whose volume does not tell its free space, so that it
  // could not be checked.
  std::vector<std::string> spaceUnchecked;
  // For each listed file, the earlier copy (its path) that becomes its
  // copy; empty where the source is copied.
  std::vector<std::string> reused;
  std::size_t reusedCount = 0;
  // The destination, and the index's directory when that is another one,
  // claimed until the export ends.
  std::vector<std::unique_ptr<DirectoryLock>> locks;
};

// The names the index has beside itself while an export makes it. They say
// whose they are, so that what an interrupted export leaves is recognised.
std::string newIndexPathFor(const std::string& indexPath);
std::string earlierIndexPathFor(const std::string& indexPath);

// Checks, before anything is written, everything that would otherwise make
// the export fail part-way for a reason that can be known in advance, and
// claims the destination for this export alone:
// - no listed name holds a line break;
// - the destination is a directory that no other export is writing to and
//   that can be written;
// - the index path is a full path naming a file, not a folder, in a directory
//   that exists and can be written; what stands there, if anything, is a
//   regular file with no other hard link and not one of the listed sources,
//   and it does not take the name of a group directory the export makes;
// - no group directory the export makes exists yet, nor anything an
//   interrupted export left; or, for a replace, every group directory there
//   (an interrupted replace's staged and retired ones included) holds only
//   copies as this program names them, what an interrupted export left
//   beside the index is a plain file, and neither the index nor any source
//   lies in what the replace removes or renames;
// - every source is a regular file that opens for reading; every copy's
//   name and every path fit the volume's limits, no two copies take one
//   name, and on a FAT volume no copy holds a character or a size FAT
//   cannot keep;
// - the volume has room for the copies, the directories and the index.
// For a replace it also reads the earlier index, when no interrupted export
// left anything, to find the earlier copies that can be reused: those the
// earlier index names with a listed name and whose size and modification
// time (or, asked for, bytes) are the source's.
// Throws ExportFailure, marked as refused, naming the step that found it.
ExportPlan checkBeforeWriting(const ExportRequest& request, FileSystem& files);

}  // namespace kavo
