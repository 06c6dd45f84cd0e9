// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <limits>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "export/archived_rom.h"
#include "export/content_hash.h"
#include "export/directory_claims.h"
#include "export/earlier_layout.h"
#include "export/export_paths.h"
#include "export/export_request.h"
#include "export/manifest.h"
#include "platform/services/file_system.h"

namespace kavo {

// One listed file as the export will make its copy: copied from its source,
// unpacked from its archive, or an earlier copy that is still right moved
// into place. Fixed-size values only: a plan of 50,000 games stays small.
struct PlannedCopy {
  static constexpr std::uint32_t kNone = std::numeric_limits<std::uint32_t>::max();
  ContentHash hash;       // reused: of the earlier copy's bytes, the source's
  SourceIdentity source;  // what the source was when it was looked at
  // The list index the earlier copy moved to this one's place had in the
  // earlier layout; kNone when the copy is made afresh.
  std::uint32_t reusedFrom = kNone;
  // Which of the plan's archives the source is; kNone when it is no archive.
  std::uint32_t archive = kNone;

  bool reused() const { return reusedFrom != kNone; }
};

// One thing the export does, in the order it does it: each group's
// directory, then the group's copies in list order.
struct Step {
  enum class Kind : std::uint8_t { MakeGroup, Reuse, Copy, Unpack };
  Kind kind;
  std::uint32_t index;  // the group's number for MakeGroup, else the list index
};

// What an interrupted export left, taken back before a replace starts.
struct Leftovers {
  // The earlier index stands only under its retired name (an export was
  // interrupted between the index's two renames): it gets its name back
  // first, before anything is removed.
  bool restoresIndex = false;
  std::vector<FoundGroup> groups;  // staged and retired groups
  std::vector<std::string> files;  // beside the index and the manifest
};

// A rename of a replace's swap.
struct Rename {
  std::string from, to;
};

// An earlier group once the new layout is in place: its retired directory
// and the earlier copies in it that nothing reused, to be removed.
struct RetiredGroup {
  std::string directory;
  std::vector<std::string> copies;  // names
};

// What earlier exports left in a destination, as the front ends tell the
// player: "a layout of 1,000 games in ROMS0 to ROMS33".
struct DestinationDescription {
  bool holdsLayout = false;  // an earlier layout, or what an interrupted one left
  std::size_t games = 0;     // copies in the earlier layout
  std::size_t firstGroup = 0, lastGroup = 0;
  std::string text() const;
};

// What an export will do, decided and checked before anything is written
// (planExport); the writer carries out its steps as they stand, a dry run
// prints them, and --check compares a layout with them. It refers to its
// request's names, so the request must outlive it.
struct ExportPlan {
  const ExportRequest* request = nullptr;
  ExportPaths paths{{}, {}};
  // A replace of an earlier layout: each group is built under its staged
  // name beside the earlier one and swapped in.
  bool staged = false;
  std::vector<PlannedCopy> copies;    // one for each listed file, in list order
  std::vector<ArchivedRom> archives;  // the ROMs of the sources that are archives
  // What the earlier manifest recorded of the sampled blocks of the reused
  // copies (see sampleRanges), by list index, in list order.
  std::vector<std::pair<std::uint32_t, std::uint64_t>> earlierSamples;
  Leftovers leftovers;
  EarlierLayout earlier;  // the layout a replace replaces
  // An earlier index stands at the index path (or will, once put back); the
  // new one takes its place by a rename.
  bool replacesIndex = false;
  // A manifest of this program's stands in the destination; the new one
  // takes its place as the index takes the index's.
  bool replacesManifest = false;
  std::uint64_t bytes = 0;  // what the copies will write
  std::size_t reused = 0;   // copies that are earlier copies moved
  // The directories whose volume does not tell its free space, so that it
  // could not be checked.
  std::vector<std::string> spaceUnchecked;
  // What the user should know of how the plan was made ("KAVOSUMS.TXT does
  // not match the layout ...").
  std::vector<std::string> notes;

  std::size_t count() const { return copies.size(); }
  std::size_t groupCount() const;
  std::string sourcePath(std::size_t listIndex) const;
  // The source's archive's ROM, when the source is an archive.
  const ArchivedRom* archived(std::size_t listIndex) const;
  // How large the copy is: its source, or what its archive unpacks to.
  std::uint64_t copySize(std::size_t listIndex) const;
  // What the earlier manifest recorded of a reused copy's sampled blocks.
  std::optional<std::uint64_t> earlierSample(std::size_t listIndex) const;
  // The name the index gives a listed file, and its copy's extension: the
  // one the request gives it (ExportRequest::recordNames), else its own, or
  // its archive's ROM's.
  const std::string& recordName(std::size_t listIndex) const;
  // The copy's file name in its group: "95.SMS".
  std::string copyFileName(std::size_t listIndex) const;
  // Where a group is made, and the name it ends with.
  std::string groupPath(std::size_t group) const;
  std::string finalGroupPath(std::size_t group) const { return paths.group(group); }
  // Where a copy is made, and the path it ends with.
  std::string copyPath(std::size_t listIndex) const;
  std::string finalCopyPath(std::size_t listIndex) const;
  // The copy's path in the layout, as the manifest has it: "ROMS3/95.SMS".
  std::string layoutPath(std::size_t listIndex) const;
  // The earlier copy a reused copy is moved from.
  std::string reusedPath(std::size_t listIndex) const;
  // What the manifest records of a copy whose bytes, and sampled blocks,
  // hash to `hash` and `sample`.
  ManifestEntry manifestEntry(std::size_t listIndex, const ContentHash& hash,
                              std::uint64_t sample) const;
  // Whether the group takes the place of an earlier one of its number.
  bool replacesGroup(std::size_t group) const { return earlier.group(group) != nullptr; }
  // Every step, in order.
  std::vector<Step> steps() const;
  // The swap, in order: every earlier group to its retired name, then every
  // staged group to its group name.
  std::vector<Rename> swap() const;
  // What the replace removes once the new layout is in place.
  std::vector<RetiredGroup> retired() const;
  std::size_t removed() const;  // earlier copies in retired()
  // What the destination held of earlier exports.
  DestinationDescription destination() const;
  // The index: the records in list order, then the padding. The one place
  // its bytes are made.
  std::string index() const;
};

// Checks, before anything is written, everything that would otherwise make
// the export fail part-way for a reason that can be known in advance, claims
// the destination (and the index's directory) in `claims`, and decides what
// the export will do:
// - no listed name, nor a record name the request gives, holds a line
//   break, and a record name given ends with its copy's extension;
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
// For a replace it also reads the earlier index and manifest, when no
// interrupted export left anything, to find the earlier copies that are
// still right (see earlierCopyStillRight) and can be moved instead of copied.
// Throws ExportFailure, marked as refused, naming the step that found it.
ExportPlan planExport(const ExportRequest& request, FileSystem& files, DirectoryClaims& claims);

// What an export of the request would write, from its sources alone, the
// destination not looked at: each copy's record name, size and source, the
// steps and the index, as into an empty destination. Refuses as planExport
// does a name or a source it cannot take.
ExportPlan planFromSources(const ExportRequest& request, FileSystem& files);

// What earlier exports left in `destination`, looked for there; see
// findEarlierLayout for what it throws.
DestinationDescription describeDestination(FileSystem& files, const std::string& destination);

}  // namespace kavo
