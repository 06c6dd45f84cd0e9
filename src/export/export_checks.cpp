// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/export_checks.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <stdexcept>

#include "export/next_step.h"
#include "export/record_name.h"
#include "export/rom_layout.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"
#include "text/counts.h"

namespace kavo {

namespace {

std::string fileNameOf(const std::string& path) { return std::string(paths::leaf(path)); }

// What stands at a directory's path, links followed, with whether this
// process may make and remove entries in it; reported as `shownAs`.
FileStatus requireDirectory(FileSystem& files, const std::string& path,
                            const std::string& shownAs) {
  FileStatus status;
  try {
    status = files.status(path, Look::Access);
  } catch (const RunTimeError& error) {
    throw RunTimeError(error.number(), shownAs, error.reason());
  }
  if (status.type == FileType::Missing)
    throw RunTimeError(ErrorNumber::PathNotFound, shownAs, "No such file or directory");
  if (status.type != FileType::Directory)
    throw RunTimeError(ErrorNumber::PathNotFound, shownAs, "Not a directory");
  return status;
}

void requireWritable(const FileStatus& directory, const std::string& path) {
  if (const auto& denied = directory.accessDenied)
    throw RunTimeError(denied->number(), path, denied->reason());
}

RunTimeError isADirectory(const std::string& path) {
  return RunTimeError(ErrorNumber::PathFileAccessError, path, "Is a directory");
}

// The index replaces what stands at its path, never writes through it.
void requireReplaceable(const FileStatus& standing, const std::string& path) {
  switch (standing.type) {
    case FileType::Missing:
      return;
    case FileType::Regular:
      if (standing.links > 1)
        throw RunTimeError(ErrorNumber::PathFileAccessError, path,
                           "Has other hard links, which would lose their contents");
      return;
    case FileType::Directory:
      throw isADirectory(path);
    case FileType::SymbolicLink:
      throw RunTimeError(ErrorNumber::PathFileAccessError, path, "Is a symbolic link");
    case FileType::Other:
      throw notRegularFileError(path);
  }
}

}  // namespace

void checkNames(const ExportRequest& request) {
  const std::vector<std::string>& given = request.recordNames;
  if (!given.empty() && given.size() != request.names.size())
    throw std::invalid_argument("one record name a listed file, or none, is needed");
  Refusals refusals;
  for (std::size_t j = 0; j < request.names.size(); ++j) {
    // The listed name is checked even when the index gives another: the
    // manifest records it too.
    std::optional<std::string> problem = recordNameProblem(request.names[j]);
    std::string reason = "File name ";
    if (!problem && !given.empty() && !given[j].empty()) {
      problem = recordNameProblem(given[j]);
      reason = "Its name in the index, \"" + given[j] + "\", ";
    }
    if (problem) try {
        throw RunTimeError(ErrorNumber::BadFileName, paths::join(request.source, request.names[j]),
                           reason + *problem);
      } catch (const RunTimeError&) {
        refusals.addCurrent(j);
      }
  }
  refusals.throwIfAny();
}

void requirePickedDrive(const ExportRequest& request, const FileStatus& destination) {
  if (!request.pickedOnDevice || destination.device == *request.pickedOnDevice) return;
  RunTimeError error(
      ErrorNumber::DeviceUnavailable, request.destination,
      "Its drive is gone: it was unplugged or unmounted after the folder was picked");
  error.setNote("Nothing was written. Plug the drive in again, pick its folder, and export again.");
  throw error;
}

void requireOutsideSource(const ExportRequest& request, FileSystem& files) {
  if (request.intoSource) return;
  const FileStatus source = files.status(paths::join(request.source, "."), Look::Target);
  if (source.type != FileType::Directory) return;  // the sources' checks say what is wrong
  std::string folder = request.destination;
  for (int depth = 0; depth < 256; ++depth) {
    if (files.status(paths::join(folder, "."), Look::Target).sameFileAs(source)) {
      ExportFailure refusal(
          RunTimeError(ErrorNumber::PathFileAccessError, request.destination,
                       "Is your ROM folder, or lies inside it: FILES.TXT, KAVOSUMS.TXT and ROMS0 "
                       "would be put among your games, and listed as games the next time"),
          kCheckingDestination, /*refused=*/true);
      refusal.setInsideSource();
      throw refusal;
    }
    const std::string parent = paths::parent(folder);
    if (parent == folder) return;
    folder = parent;
  }
}

FileStatus claimDestination(FileSystem& files, const std::string& destination,
                            DirectoryClaims& claims) {
  const FileStatus status = requireDirectory(files, destination, destination);
  claims.claim(files, destination);
  requireWritable(status, destination);
  return status;
}

IndexPlace checkIndexPath(const ExportRequest& request, const FileStatus& destination,
                          FileSystem& files, DirectoryClaims& claims) {
  const std::string& answer = request.indexPath;  // as the user gave it
  // A relative answer (on POSIX the prompt's own example, C:\) would name a
  // file in whatever the working directory happens to be. (On Windows the
  // example is a full path, to a folder, refused below.)
  if (!paths::isAbsolute(answer))
    throw RunTimeError(ErrorNumber::BadFileName, answer,
                       std::string("Not a full path to a file, such as ") + kIndexPathExample);
  if (answer.back() == '/' || answer.back() == '\\')
    throw RunTimeError(ErrorNumber::BadFileName, answer, "Names a folder, not a file");

  IndexPlace place{ExportPaths(request.destination, layout::indexPathFromAnswer(answer)), {}, {}};
  const std::string& index = place.paths.index();
  const std::string& directory = place.paths.indexDirectory();
  place.directory = requireDirectory(files, directory, index);
  // The answer names a folder as typed, or once its file name is upper-cased.
  for (const std::string& path : {answer, index})
    if (files.status(path).type == FileType::Directory) throw isADirectory(path);

  if (place.directory.sameFileAs(destination)) {
    const std::string name = fileNameOf(index);
    for (const std::string& group : layout::groupDirectoryNames(request.names.size()))
      if (name == group)
        throw RunTimeError(ErrorNumber::PathFileAccessError, index,
                           "Is the name of a folder this export makes");
  } else {
    claims.claim(files, directory);
  }
  requireWritable(place.directory, directory);
  const std::size_t nameLimit = files.volume(directory).nameLimit;
  for (const std::string& path :
       {index, place.paths.index(Waiting::Staged), place.paths.index(Waiting::Retired)})
    requireFits(path, nameLimit);

  place.standing = files.status(index);
  requireReplaceable(place.standing, index);
  return place;
}

SourceLook lookAtSource(FileSystem& files, const std::string& path, std::string_view listedName,
                        const RomFilter& wanted) {
  SourceLook look{files.status(path, Look::Access), std::nullopt, {}};
  if (look.status.type == FileType::Missing)
    throw RunTimeError(ErrorNumber::FileNotFound, path, "No such file or directory");
  if (look.status.type != FileType::Regular) throw notRegularFileError(path);
  if (look.status.accessDenied) throw *look.status.accessDenied;
  if (!mayBeArchive(listedName)) return look;
  const std::unique_ptr<ReadableFile> file = files.openForReading(path);
  char start[8] = {};
  const std::size_t got = file->readAt(0, start, sizeof start);
  const std::optional<ArchiveFormat> format = archiveFormatOf({start, got});
  if (!format) {
    look.note = path + " is named like an archive but is not one; it is copied as it is";
    return look;
  }
  look.archived = lookIntoArchive(*file, path, listedName, *format, wanted);
  // The source as it was looked into, which its unpacking must still find.
  const auto accessDenied = look.status.accessDenied;
  look.status = file->status();
  look.status.accessDenied = accessDenied;
  return look;
}

void requireFatName(VolumeFormat format, const std::string& copyPath) {
  if (format == VolumeFormat::Other) return;
  for (const char c : fileNameOf(copyPath)) {
    if (static_cast<unsigned char>(c) >= 0x20 && !std::strchr("\"*:<>?\\|", c)) continue;
    std::string shown = "\"?\"";
    shown[1] = c;
    if (static_cast<unsigned char>(c) < 0x20) shown = "a control character";
    throw RunTimeError(ErrorNumber::BadFileName, copyPath,
                       "Holds " + shown + ", which a FAT drive does not take in a name");
  }
}

void requireFatSize(VolumeFormat format, const std::string& source, std::uint64_t size) {
  constexpr std::uint64_t kLargestOnFat = 0xFFFF'FFFFu;  // a size in 32 bits
  if (format != VolumeFormat::Fat || size <= kLargestOnFat) return;
  throw RunTimeError(ErrorNumber::PathFileAccessError, source,
                     "Is " + byteCount(size) + "; a file on a FAT32 drive holds at most " +
                         withThousands(kLargestOnFat) + " bytes");
}

void CopyNames::take(std::size_t j, const std::string& name) {
  if (j % layout::kGroupSize == 0) taken_.clear();
  const auto [at, added] = taken_.emplace(layout::upperCaseAscii(name), j);
  if (added) return;
  const std::string group = layout::groupDirectoryName(layout::groupNumberOf(j));
  throw ExportFailure(RunTimeError(ErrorNumber::PathFileAccessError, sourceOf_(j),
                                   "Takes the copy name " + layout::layoutPath(group, name) +
                                       ", as " + sourceOf_(at->second) + " does"),
                      kCheckingNames, /*refused=*/true);
}

namespace {

// The probe's folder before and after its rename, and its file.
constexpr char kProbe[] = "ROMS.simplekavo-probe";
constexpr char kProbeRenamed[] = "ROMS.simplekavo-probed";
constexpr char kProbeFile[] = "PROBE";

// Removes the probe's folders, and its file, wherever they are. When that
// fails, it is tried once more, since a drive that failed once may not fail
// again, and the first failure is thrown all the same: the export is
// refused, and leaves nothing of the probe behind.
void removeProbe(FileSystem& files, const std::string& destination) {
  std::optional<RunTimeError> first;
  for (int attempt = 0; attempt < 2; ++attempt) {
    bool failed = false;
    for (const char* folder : {kProbe, kProbeRenamed}) {
      const std::string path = paths::join(destination, folder);
      try {
        if (files.status(path).type != FileType::Directory) continue;
        files.removeFile(paths::join(path, kProbeFile));
        files.removeDirectory(path);
      } catch (const RunTimeError& error) {
        if (!first) first = error;
        failed = true;
      }
    }
    if (!failed) break;
  }
  if (first) throw *first;
}

}  // namespace

void requireSafeFolderRenames(FileSystem& files, const std::string& destination) {
  const std::string before = paths::join(destination, kProbe);
  const std::string after = paths::join(destination, kProbeRenamed);
  removeProbe(files, destination);  // what a probe cut short left
  bool kept = false;
  try {
    files.makeDirectory(before);
    files.createNew(paths::join(before, kProbeFile))->close();
    files.rename(before, after);
    for (const DirectoryEntry& entry : files.listDirectory(after, Listing::Types))
      kept = kept || entry.name == kProbeFile;
  } catch (...) {
    try {
      removeProbe(files, destination);
    } catch (const RunTimeError&) {
      // the first failure is the one to report
    }
    throw;
  }
  removeProbe(files, destination);
  if (kept) return;
  RunTimeError error(ErrorNumber::PathFileAccessError, destination,
                     "Loses the files of a folder that is renamed (as the FUSE driver for FAT "
                     "does), so a refresh here could lose your games");
  error.setNote(
      "Nothing was changed. Mount the drive with the system's own FAT driver, or export into an "
      "empty folder.");
  throw error;
}

void Refusals::addCurrent(std::size_t j) {
  std::lock_guard lock(mutex_);
  refusals_.emplace_back(j, std::current_exception());
  refused_.insert(j);
}

bool Refusals::refused(std::size_t j) const {
  std::lock_guard lock(mutex_);
  return refused_.contains(j);
}

void Refusals::throwIfAny() {
  constexpr std::size_t kNamed = 20;
  std::lock_guard lock(mutex_);
  if (refusals_.empty()) return;
  std::stable_sort(refusals_.begin(), refusals_.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  if (refusals_.size() == 1) std::rethrow_exception(refusals_.front().second);
  std::string note = "Refused too:";
  for (std::size_t k = 1; k < refusals_.size() && k < kNamed; ++k) {
    try {
      std::rethrow_exception(refusals_[k].second);
    } catch (...) {
      const RunTimeError error = currentRunTimeError();
      note += "\n" + error.path() + ": " + error.reason();
    }
  }
  if (refusals_.size() > kNamed)
    note += "\nand " + counted(refusals_.size() - kNamed, "more source", "more sources") + " (" +
            withThousands(refusals_.size()) + " in all)";
  try {
    std::rethrow_exception(refusals_.front().second);
  } catch (ExportFailure& first) {
    first.setNote(note);
    throw;
  } catch (...) {
    RunTimeError first = currentRunTimeError();
    first.setNote(note);
    throw first;
  }
}

std::uint64_t roundUp(std::uint64_t bytes, std::uint64_t block) {
  return block == 0 ? bytes : (bytes + block - 1) / block * block;
}

void requireRoom(const VolumeFacts& volume, std::uint64_t bytes, const std::string& directory) {
  if (!volume.spaceKnown || bytes <= volume.available) return;
  ExportFailure refusal(
      RunTimeError(ErrorNumber::DiskFull, directory,
                   "Needs " + byteCount(bytes) + "; " + byteCount(volume.available) + " free"),
      kCheckingSpace, /*refused=*/true);
  refusal.setShortOf(bytes - volume.available);  // for what to do about it
  throw refusal;
}

}  // namespace kavo
