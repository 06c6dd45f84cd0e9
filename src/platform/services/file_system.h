// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/services/run_time_error.h"

namespace kavo {

// What stands at a path.
enum class FileType { Missing, Regular, Directory, SymbolicLink, Other };

struct FileStatus {
  FileType type = FileType::Missing;
  std::uint64_t size = 0;
  std::uint64_t device = 0;  // device and inode tell one file from another
  std::uint64_t inode = 0;
  std::uint64_t links = 0;           // hard links to it
  std::int64_t modifiedSeconds = 0;  // last change of its bytes, since 1970
  std::uint32_t modifiedNanoseconds = 0;
  std::int64_t changedSeconds = 0;  // last change of its bytes or its entry
  std::uint32_t changedNanoseconds = 0;
  // Looked at with Look::Access: null when this process may read the file,
  // or make and remove entries in the directory; else why not, as the file
  // system reports it (the error naming the path). Shared, so that a status
  // stays small.
  std::shared_ptr<const RunTimeError> accessDenied = nullptr;

  bool sameFileAs(const FileStatus& other) const {
    return type != FileType::Missing && device == other.device && inode == other.inode;
  }
};

// One entry of a directory: its name and what stands there.
struct DirectoryEntry {
  std::string name;
  FileStatus status;
};

// A file opened for writing. Every call either succeeds or throws RunTimeError
// naming the file and the operating system's reason.
class WritableFile {
 public:
  virtual ~WritableFile() = default;

  // Writes the bytes as they are, adding no line end.
  virtual void print(std::string_view bytes) = 0;

  // Gives the file a modification time (and the same access time).
  virtual void setModified(std::int64_t seconds, std::uint32_t nanoseconds) = 0;

  // Closes the file; a failure to close is reported like any other. A file
  // destroyed without close() is closed quietly (the error path).
  virtual void close() = 0;
};

// A file opened for reading. Every call either succeeds or throws
// RunTimeError naming the file and the operating system's reason.
class ReadableFile {
 public:
  explicit ReadableFile(FileStatus status) : status_(status) {}
  virtual ~ReadableFile() = default;

  // Reads up to `size` bytes into `buffer`; returns how many, 0 at the end.
  virtual std::size_t read(char* buffer, std::size_t size) = 0;

  // Reads up to `size` bytes from `offset` on, wherever read() has come to.
  virtual std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t size) = 0;

  // What the file was when it was opened.
  const FileStatus& status() const { return status_; }

 private:
  FileStatus status_;
};

// Makes what was written to one volume durable. Opened before the writes it
// is to cover, so that it also reports write-back failures that happened
// after it was opened and before sync() is called.
class VolumeSync {
 public:
  virtual ~VolumeSync() = default;
  virtual void sync() = 0;
};

// A directory held open while files are made in it, so that each is found
// from the directory instead of from the root by its whole path. A file
// system's copies may take a directory that another file system opened (a
// wrapper passes the target's through); they then go by the path.
class OpenDirectory {
 public:
  explicit OpenDirectory(std::string path) : path_(std::move(path)) {}
  virtual ~OpenDirectory() = default;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Why lockDirectory refuses a directory another process holds.
inline constexpr char kAnotherExport[] = "Another export is writing to this folder";

// An exclusive claim on a directory, held until the object goes.
class DirectoryLock {
 public:
  virtual ~DirectoryLock() = default;
};

// The kinds of file system that limit what a copy may be: the FAT family
// of players' drives and cards (names without some characters; on FAT, files
// under 4 GiB), and everything else.
enum class VolumeFormat { Other, Fat, ExFat };

// What the volume that holds a directory is and takes.
struct VolumeFacts {
  bool spaceKnown = false;      // some file systems do not report their space
  std::uint64_t blockSize = 0;  // the unit a file's space is taken in
  std::uint64_t available = 0;  // bytes the user may still write
  // The longest file name, in bytes, that the volume accepts.
  std::size_t nameLimit = std::numeric_limits<std::size_t>::max();
  VolumeFormat format = VolumeFormat::Other;
  // Whether a file keeps its device and inode numbers and its change time
  // tells every change (ext4, xfs, btrfs, tmpfs and the like): then the
  // same numbers and times mean the same file, unchanged. FAT and most FUSE
  // file systems make the numbers up, or report the modification time as
  // the change time.
  bool stableIdentity = false;
};

// How status() looks at a path.
enum class Look {
  Entry,   // what stands at the path itself, a symbolic link not followed
  Target,  // what links lead to (a dangling link is Missing)
  Access,  // as Target, and whether this process may use it (accessDenied)
};

// Where openForReading() takes a file's bytes from.
enum class Reading {
  Cached,      // wherever the system has them, its page cache included
  FromMedium,  // from the drive itself: what the drive really holds
};

// How much a listing tells of each entry.
enum class Listing {
  Statuses,  // each entry's status, a symbolic link not followed
  Types,     // only each entry's type, links followed (a dangling link is
             // Missing), from the directory alone where the volume tells it
};

// The file services the program relies on from its host: primitives only,
// one small virtual each; what to make of them is the caller's. Paths are
// byte strings with "/" as separator. Every failure throws RunTimeError
// naming the path and the operating system's reason.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // --- Looking, changing nothing.

  virtual VolumeFacts volume(const std::string& directory) = 0;

  // What stands at the path; Missing when nothing does.
  virtual FileStatus status(const std::string& path, Look look = Look::Entry) = 0;

  // The entries of a directory, "." and ".." left out, sorted by name.
  virtual std::vector<DirectoryEntry> listDirectory(const std::string& path,
                                                    Listing listing = Listing::Statuses) = 0;

  // Opens a regular file (links followed) to read it; anything else is
  // refused without being opened.
  virtual std::unique_ptr<ReadableFile> openForReading(const std::string& path,
                                                       Reading reading = Reading::Cached) = 0;

  // --- Claiming.

  // Claims the directory for this process alone. A directory that another
  // process holds is refused at once, with the reason "Another export is
  // writing to this folder"; on a volume without locks the claim is empty.
  virtual std::unique_ptr<DirectoryLock> lockDirectory(const std::string& directory) = 0;

  // --- Writing.

  // Creates a new, empty file for writing. Fails when anything stands at the
  // path, so nothing there is ever truncated or written through a link.
  virtual std::unique_ptr<WritableFile> createNew(const std::string& path) = 0;

  // Creates one directory; fails when it exists or its parent does not.
  virtual void makeDirectory(const std::string& path) = 0;

  // Opens a directory to make files in (see OpenDirectory).
  virtual std::unique_ptr<OpenDirectory> openDirectory(const std::string& path) = 0;

  // Copies the bytes of a regular file to a new file `name` in `into`, with
  // the source's modification time; fails when anything stands there
  // already. A source that is not a regular file (a FIFO, a device, a
  // directory) is refused without being read, and one whose size or times
  // changed while it was copied fails the copy ("Changed while it was
  // copied"), since the copy then holds neither the old bytes nor the new.
  // `seen`, when given, is shown the bytes copied, in order. Returns what
  // the source was when it was opened, as it still was at the end. Safe to
  // call from several threads at once.
  using Seen = std::function<void(const char* bytes, std::size_t size)>;
  virtual FileStatus copyInto(const std::string& from, const OpenDirectory& into,
                              const std::string& name, const Seen& seen = {}) = 0;

  // Gives a file another name in the same volume, replacing a file that has
  // that name (the entry is replaced, never written through).
  virtual void rename(const std::string& from, const std::string& to) = 0;

  // Removes a file; returns false when there was none.
  virtual bool removeFile(const std::string& path) = 0;

  // Removes an empty directory.
  virtual void removeDirectory(const std::string& path) = 0;

  // --- Making it durable.

  // Starts watching the volume that holds the directory (see VolumeSync).
  virtual std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) = 0;

  // Makes the directory's entries (names made, renamed, removed) durable.
  virtual void syncDirectory(const std::string& directory) = 0;
};

// Whether anything, even a dangling link, stands at the path.
bool exists(FileSystem& files, const std::string& path);

// The whole file, or nothing if it holds more than `most` bytes (reading
// stops there). Answers an interruption between pieces.
std::optional<std::string> readAtMost(FileSystem& files, const std::string& path, std::size_t most,
                                      Reading reading = Reading::Cached);

}  // namespace kavo
