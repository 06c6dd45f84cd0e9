#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace kavo {

// A file opened for writing. Every call either succeeds or throws RunTimeError
// naming the file and the operating system's reason.
class WritableFile {
 public:
  virtual ~WritableFile() = default;

  // Writes the bytes as they are, adding no line end.
  virtual void print(std::string_view bytes) = 0;

  // Closes the file; a failure to close is reported like any other. A file
  // destroyed without close() is closed quietly (the error path).
  virtual void close() = 0;
};

// A file opened for reading. Every call either succeeds or throws
// RunTimeError naming the file and the operating system's reason.
class ReadableFile {
 public:
  virtual ~ReadableFile() = default;

  // Reads up to `size` bytes into `buffer`; returns how many, 0 at the end.
  virtual std::size_t read(char* buffer, std::size_t size) = 0;
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

// An exclusive claim on a directory, held until the object goes.
class DirectoryLock {
 public:
  virtual ~DirectoryLock() = default;
};

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

  bool sameFileAs(const FileStatus& other) const {
    return type != FileType::Missing && device == other.device && inode == other.inode;
  }
};

// One entry of a directory: its name and what stands there, a symbolic
// link not followed.
struct DirectoryEntry {
  std::string name;
  FileStatus status;
};

// The kinds of file system that limit what a copy may be: the FAT family
// of players' drives and cards (names without some characters; on FAT, files
// under 4 GiB), and everything else.
enum class VolumeFormat { Other, Fat, ExFat };

// The room on the volume that holds a directory.
struct VolumeSpace {
  bool known = false;           // some file systems do not report it
  std::uint64_t blockSize = 0;  // the unit a file's space is taken in
  std::uint64_t available = 0;  // bytes the user may still write
  VolumeFormat format = VolumeFormat::Other;
};

// The file services the export relies on from its host, one small virtual
// per service. Paths are byte strings with "/" as separator. Every failure
// throws RunTimeError.
class FileSystem {
 public:
  virtual ~FileSystem() = default;

  // --- Looking, changing nothing.

  // Fails unless the path names an existing directory.
  virtual void requireDirectory(const std::string& path) = 0;

  // What stands at the path itself, a symbolic link not followed; Missing
  // when nothing does.
  virtual FileStatus status(const std::string& path) = 0;

  // Whether anything, even a dangling link, stands at the path.
  bool exists(const std::string& path) { return status(path).type != FileType::Missing; }

  // The entries of a directory, "." and ".." left out, sorted by name.
  virtual std::vector<DirectoryEntry> listDirectory(const std::string& path) = 0;

  // Checks that a file to be copied can be: it must be a regular file
  // (links followed), refused without being opened otherwise, and it must
  // open for reading. Returns what the open file is.
  virtual FileStatus inspectSource(const std::string& path) = 0;

  // Opens a regular file (links followed) to read it; anything else is
  // refused without being opened.
  virtual std::unique_ptr<ReadableFile> openForReading(const std::string& path) = 0;

  // The step, in nanoseconds, in which the directory's volume keeps a file's
  // modification time: 2 s on FAT, 1 where times are kept to the
  // nanosecond. Two times closer than this may be the same time.
  virtual std::int64_t timeGranularity(const std::string& directory) = 0;

  // Fails unless this process may create and remove entries in the directory.
  virtual void requireWritable(const std::string& directory) = 0;

  virtual VolumeSpace volumeSpace(const std::string& directory) = 0;

  // The longest file name, in bytes, that the directory's volume accepts.
  virtual std::size_t nameLimit(const std::string& directory) = 0;

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
  // already. A source that is not a regular file
  // (a FIFO, a device, a directory) is refused without being read, and one
  // whose size or times changed while it was copied fails the copy ("Changed
  // while it was copied"), since the copy then holds neither the old bytes
  // nor the new. Safe to call from several threads at once.
  virtual void copyInto(const std::string& from, const OpenDirectory& into,
                        const std::string& name) = 0;

  // How many copies are best kept in flight at once. Creating many small
  // files mostly waits on the file system, not the processor, so a disk
  // gains from several; a file system that must see them in order says 1.
  virtual std::size_t copiesAtOnce() const = 0;

  // copyInto, to the path `to`.
  void copyFile(const std::string& from, const std::string& to) {
    const std::size_t slash = to.rfind('/');
    const std::string directory = slash == std::string::npos ? "."
                                  : slash == 0               ? "/"
                                                             : to.substr(0, slash);
    copyInto(from, *openDirectory(directory),
             slash == std::string::npos ? to : to.substr(slash + 1));
  }

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

}  // namespace kavo
