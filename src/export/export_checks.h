// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "export/archived_rom.h"
#include "export/directory_claims.h"
#include "export/export_failure.h"
#include "export/export_paths.h"
#include "export/export_request.h"
#include "platform/services/file_system.h"

// The checks planExport makes before anything is written, each refusing
// with a run-time error that names the path and the reason.
namespace kavo {

// The steps of the checks, as a refusal names them.
inline constexpr char kCheckingNames[] = "checking the names";
inline constexpr char kCheckingDestination[] = "checking the destination";
inline constexpr char kCheckingIndexPath[] = "checking the index path";
inline constexpr char kCheckingSources[] = "checking the sources";
inline constexpr char kCheckingSpace[] = "checking free space";

// No listed name, nor a name given for its record, may be one the index
// cannot hold (see recordNameProblem). Record names given for some files
// but not one a listed file are a fault of the caller: invalid_argument.
void checkNames(const ExportRequest& request);

// The destination is a directory that no other export writes to, claimed
// for this one, that this process may write. Returns what it is.
FileStatus claimDestination(FileSystem& files, const std::string& destination,
                            DirectoryClaims& claims);

// The destination is where the player picked it: still on the volume it was
// picked on (ExportRequest::pickedOnDevice).
void requirePickedDrive(const ExportRequest& request, const FileStatus& destination);

// The destination is not the source folder, nor inside it, unless the
// request says it may be; ExportFailure, marked insideSource().
void requireOutsideSource(const ExportRequest& request, FileSystem& files);

// Where the index goes, and what stands there now.
struct IndexPlace {
  ExportPaths paths;
  FileStatus standing;   // what stands at the index path
  FileStatus directory;  // the directory it lies in
};

// The index path is a full path naming a plain file (or nothing) in a
// directory that exists and may be written, claimed when it is not the
// destination, and its names fit the volume (see the README's Guarantees).
IndexPlace checkIndexPath(const ExportRequest& request, const FileStatus& destination,
                          FileSystem& files, DirectoryClaims& claims);

// A source as the copy will find it: a regular file (links followed) that
// this process may read, and, when its name says it may be an archive and
// its first bytes say it is one, the one ROM it holds (see archived_rom.h;
// `wanted` is the list's filter), its status then the archive's as it was
// looked into. Only such a name is opened here; the copy opens the others,
// and one that does not open then fails the export part-way.
struct SourceLook {
  FileStatus status;
  std::optional<ArchivedRom> archived;
  // What the player should be told of the source, for the plan's notes: a
  // file named like an archive that is not one is copied as it is.
  std::string note;
};
SourceLook lookAtSource(FileSystem& files, const std::string& path, std::string_view listedName,
                        const RomFilter& wanted = {});

// On FAT and exFAT, a copy's name holds no character they do not take.
void requireFatName(VolumeFormat format, const std::string& copyPath);

// On FAT32, no file is 4 GiB or larger.
void requireFatSize(VolumeFormat format, const std::string& source, std::uint64_t size);

// The copy names of one group so far: two listed names may make one
// (extensionless "23" at list index 1 and "3" at 12 both make "123"), and
// FAT, where players' drives live, ignores case when it compares names.
class CopyNames {
 public:
  explicit CopyNames(std::function<std::string(std::size_t)> sourceOf)
      : sourceOf_(std::move(sourceOf)) {}

  // Takes the copy name of list index j, refusing one that an earlier index
  // of its group took. Call in list order.
  void take(std::size_t j, const std::string& name);

 private:
  std::function<std::string(std::size_t)> sourceOf_;
  std::unordered_map<std::string, std::size_t> taken_;
};

// A replace renames folders; some file systems lose a renamed folder's
// files (the FUSE stand-in for FAT32 does). Renames a probe folder holding a
// file in `destination`, and refuses a destination that loses it, before
// anything of the export is written. The probe is removed either way.
void requireSafeFolderRenames(FileSystem& files, const std::string& destination);

// The sources the checks refuse, each with why, gathered so that one message
// names them all once every source has been looked at (a player fixes them
// together, not one per try). Safe to add to from several threads at once.
class Refusals {
 public:
  // Notes the exception being handled as source j's refusal. Call only from
  // a catch block.
  void addCurrent(std::size_t j);
  bool refused(std::size_t j) const;
  // Throws the first refusal in list order, its step kept, with the next
  // ones (to the 20th) and how many more there are in its note.
  void throwIfAny();

 private:
  mutable std::mutex mutex_;
  std::vector<std::pair<std::size_t, std::exception_ptr>> refusals_;
  std::unordered_set<std::size_t> refused_;
};

// `bytes` rounded up to whole blocks of the volume.
std::uint64_t roundUp(std::uint64_t bytes, std::uint64_t block);

// The volume has room for `bytes`, when it tells its space: "Disk full".
void requireRoom(const VolumeFacts& volume, std::uint64_t bytes, const std::string& directory);

}  // namespace kavo
