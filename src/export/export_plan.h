// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "export/archived_rom.h"
#include "export/content_hash.h"
#include "export/earlier_layout.h"
#include "export/export_paths.h"
#include "export/export_request.h"
#include "export/manifest.h"
#include "platform/services/file_system.h"

namespace kavo {

// The directories an export writes to, claimed for it alone until the
// object goes (see FileSystem::lockDirectory).
class DirectoryClaims {
 public:
  void claim(FileSystem& files, const std::string& directory) {
    locks_.push_back(files.lockDirectory(directory));
  }

 private:
  std::vector<std::unique_ptr<DirectoryLock>> locks_;
};

// One listed file as the export will make its copy: copied from its source,
// or an earlier copy that is still right moved into place.
struct PlannedCopy {
  std::uint64_t size = 0;  // the source's, or what its archive unpacks to
  std::string reusedFrom;  // the earlier copy moved to its place; empty: copied
  ContentHash hash;        // reused: of the earlier copy's bytes, the source's
  SourceIdentity source;   // what the source was when it was looked at
  // The source is an archive, unpacked on the way; its ROM's name is the
  // one the index and the copy's extension take.
  std::optional<ArchivedRom> archived;
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

// What an export will do, decided and checked before anything is written
// (planExport); the writer carries it out as it stands, and a dry run prints
// it. It refers to its request's names, so the request must outlive it.
struct ExportPlan {
  const ExportRequest* request = nullptr;
  ExportPaths paths{{}, {}};
  // A replace of an earlier layout: each group is built under its staged
  // name beside the earlier one and swapped in.
  bool staged = false;
  std::vector<PlannedCopy> copies;  // one for each listed file, in list order
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
  // The name the index gives a listed file, and its copy's extension.
  const std::string& recordName(std::size_t listIndex) const;
  // Where a group is made, and the name it ends with.
  std::string groupPath(std::size_t group) const;
  std::string finalGroupPath(std::size_t group) const { return paths.group(group); }
  // Where a copy is made, and the path it ends with.
  std::string copyPath(std::size_t listIndex) const;
  std::string finalCopyPath(std::size_t listIndex) const;
  // The copy's path in the destination, as the manifest has it: "ROMS3/95.SMS".
  std::string copyName(std::size_t listIndex) const;
  // Whether the group takes the place of an earlier one of its number.
  bool replacesGroup(std::size_t group) const { return earlier.group(group) != nullptr; }
  // The swap, in order: every earlier group to its retired name, then every
  // staged group to its group name.
  std::vector<Rename> swap() const;
  // What the replace removes once the new layout is in place.
  std::vector<RetiredGroup> retired() const;
  std::size_t removed() const;  // earlier copies in retired()
  // The index: the records in list order, then the padding.
  std::string index() const;
};

// Checks, before anything is written, everything that would otherwise make
// the export fail part-way for a reason that can be known in advance, claims
// the destination (and the index's directory) in `claims`, and decides what
// the export will do:
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
// For a replace it also reads the earlier index and manifest, when no
// interrupted export left anything, to find the earlier copies that are
// still right (see earlierCopyStillRight) and can be moved instead of copied.
// Throws ExportFailure, marked as refused, naming the step that found it.
ExportPlan planExport(const ExportRequest& request, FileSystem& files, DirectoryClaims& claims);

// Whether an earlier copy can stand for its source, and then the hash of
// the bytes they share. It must have the size the source gives
// (`sourceSize`); then, with `compareBytes` or without what the manifest
// `recorded` of it, its bytes as the drive returns them must hash as the
// source's bytes do (`sourceHash`); else the manifest must say it holds the
// bytes the source holds now: the source is the one it was copied from,
// unchanged (its identity is the one recorded), or the source's bytes,
// hashed on the computer, have the recorded hash.
std::optional<ContentHash> earlierCopyStillRight(FileSystem& files, const std::string& copyPath,
                                                 const FileStatus& copy, std::uint64_t sourceSize,
                                                 const SourceIdentity& source,
                                                 const ManifestEntry* recorded, bool compareBytes,
                                                 const std::function<ContentHash()>& sourceHash);

// The hash of the bytes a source gives: its own, or its archive's ROM's.
ContentHash sourceHash(FileSystem& files, const std::string& path,
                       const std::optional<ArchivedRom>& archived);

// The hash of a file's bytes; `reading` says where they come from.
ContentHash hashOf(FileSystem& files, const std::string& path, Reading reading = Reading::Cached);

}  // namespace kavo
