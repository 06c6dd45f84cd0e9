#pragma once

#include <string>
#include <vector>

#include "platform/host.h"
#include "platform/progress.h"

namespace kavo {

inline constexpr char kPromptTitle[] = "Save FILES.TXT";
inline constexpr char kPromptText[] =
    "Where would you like FILES.TXT to be saved?  ie. C:\\";
inline constexpr char kIndexFileName[] = "FILES.TXT";
inline constexpr char kCompletedMessage[] =
    "Completed Successfully!  Press OK to exit";
inline constexpr char kFlushingText[] = "Writing to the drive";

// "Copying k of N", the progress text for the k-th copy (counted from 1).
std::string copyingText(std::size_t number, std::size_t count);

// What the window hands to an export.
struct ExportRequest {
  std::string destination;         // the directory open in the destination list
  std::string source;              // the directory open in the source list
  std::vector<std::string> names;  // the source file list's entries, in order
};

enum class ExportOutcome {
  Cancelled,  // the user gave no index path; nothing was touched
  Completed,  // the layout is written and flushed; the program was ended
};

// Asks for the index path, copies every listed file into group directories
// ROMS0, ROMS1, ... of 30 under the destination, each renamed to its list
// index plus its extension, writes one index record per copy, pads the index
// to a multiple of 16 bytes, flushes it all to the drive, reports success and
// ends the program.
//
// Before the index is opened, the destination must be an existing directory
// and none of the group directories may exist yet, so a refused run leaves an
// earlier FILES.TXT as it was. Any failure throws RunTimeError at the step
// that failed; what was made before it stays, and no success is reported.
//
// `progress` hears of each copy and of the flush, which runs through its
// wait(); it is finished before the success message.
ExportOutcome exportRomSet(const ExportRequest& request, Host& host,
                           Progress& progress);
ExportOutcome exportRomSet(const ExportRequest& request, Host& host);

}  // namespace kavo
