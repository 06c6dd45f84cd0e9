// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "platform/services/host_file_system.h"
#include "platform/services/interruption.h"
#include "platform/services/paths.h"
#include "platform/services/posix_errors.h"
#include "platform/services/posix_file_system.h"
#include "platform/services/run_time_error.h"
#include "platform/services/thread_buffer.h"

namespace kavo {

namespace {

[[noreturn]] void fail(int errnoValue, const std::string& path, PathRole role = PathRole::File) {
  throw errorFromErrno(errnoValue, path, role);
}

// Owns a file descriptor; closes it quietly unless closed explicitly.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

  // Closes and reports the result. Linux releases the descriptor even when
  // close fails, so it is never closed twice; EINTR loses no data there.
  void close(const std::string& path) {
    int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 && errno != EINTR) fail(errno, path);
  }

 private:
  int fd_;
};

FileStatus statusOf(const struct stat& status) {
  FileStatus result;
  if (S_ISREG(status.st_mode))
    result.type = FileType::Regular;
  else if (S_ISDIR(status.st_mode))
    result.type = FileType::Directory;
  else if (S_ISLNK(status.st_mode))
    result.type = FileType::SymbolicLink;
  else
    result.type = FileType::Other;
  result.size = static_cast<std::uint64_t>(status.st_size);
  result.device = static_cast<std::uint64_t>(status.st_dev);
  result.inode = static_cast<std::uint64_t>(status.st_ino);
  result.links = static_cast<std::uint64_t>(status.st_nlink);
  result.modifiedSeconds = static_cast<std::int64_t>(status.st_mtim.tv_sec);
  result.modifiedNanoseconds = static_cast<std::uint32_t>(status.st_mtim.tv_nsec);
  result.changedSeconds = static_cast<std::int64_t>(status.st_ctim.tv_sec);
  result.changedNanoseconds = static_cast<std::uint32_t>(status.st_ctim.tv_nsec);
  return result;
}

void writeAll(int fd, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      fail(errno, path);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

class PosixWritableFile final : public WritableFile {
 public:
  PosixWritableFile(int fd, std::string path) : descriptor_(fd), path_(std::move(path)) {}

  void print(std::string_view bytes) override {
    writeAll(descriptor_.get(), bytes.data(), bytes.size(), path_);
  }

  void setModified(std::int64_t seconds, std::uint32_t nanoseconds) override {
    const struct timespec when = {static_cast<time_t>(seconds), static_cast<long>(nanoseconds)};
    const struct timespec times[2] = {when, when};
    if (::futimens(descriptor_.get(), times) != 0) fail(errno, path_);
  }

  void close() override { descriptor_.close(path_); }

 private:
  Descriptor descriptor_;
  std::string path_;
};

// Copies are made in pieces of this size, so that an interruption is seen
// within a piece, not after a whole large file.
constexpr std::size_t kCopyPiece = std::size_t{8} << 20;

// Copies of at least this size start their write-back as soon as they are
// made (see copyInto).
constexpr std::uint64_t kEarlyWriteBackFrom = 64 * 1024;

// Copies that go through this process read and write pieces of this size,
// in the thread's buffer.
constexpr std::size_t kBufferSize = 256 * 1024;
static_assert(kBufferSize <= kThreadBufferSize);

// Copies in user space, for the file systems where copy_file_range cannot,
// showing `seen` each piece.
void copyThroughBuffer(int in, int out, const std::string& from, const std::string& to,
                       const FileSystem::Seen& seen) {
  char* const buffer = threadBuffer();
  std::size_t sinceCheck = 0;
  for (;;) {
    ssize_t got = ::read(in, buffer, kBufferSize);
    if (got < 0) {
      if (errno == EINTR) {
        throwIfInterrupted();
        continue;
      }
      fail(errno, from);
    }
    if (got == 0) return;
    writeAll(out, buffer, static_cast<std::size_t>(got), to);
    if (seen) seen(buffer, static_cast<std::size_t>(got));
    if ((sinceCheck += static_cast<std::size_t>(got)) >= kCopyPiece) {
      sinceCheck = 0;
      throwIfInterrupted();
    }
  }
}

class PosixReadableFile final : public ReadableFile {
 public:
  PosixReadableFile(int fd, std::string path, const struct stat& status)
      : ReadableFile(statusOf(status)), descriptor_(fd), path_(std::move(path)) {}

  std::size_t read(char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t got = ::read(descriptor_.get(), buffer, size);
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) fail(errno, path_);
      throwIfInterrupted();
    }
  }

  std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    for (;;) {
      const ssize_t got = ::pread(descriptor_.get(), buffer, size, static_cast<off_t>(offset));
      if (got >= 0) return static_cast<std::size_t>(got);
      if (errno != EINTR) fail(errno, path_);
      throwIfInterrupted();
    }
  }

 private:
  Descriptor descriptor_;
  std::string path_;
};

class PosixVolumeSync final : public VolumeSync {
 public:
  PosixVolumeSync(int fd, std::string directory)
      : descriptor_(fd), directory_(std::move(directory)) {}

  // syncfs reports every write-back error on the volume since this
  // descriptor was opened, which is why it is opened before the writes.
  void sync() override {
    if (::syncfs(descriptor_.get()) != 0) fail(errno, directory_, PathRole::Directory);
  }

 private:
  Descriptor descriptor_;
  std::string directory_;
};

class PosixOpenDirectory final : public OpenDirectory {
 public:
  PosixOpenDirectory(int fd, std::string path) : OpenDirectory(std::move(path)), descriptor_(fd) {}
  int fd() const { return descriptor_.get(); }

 private:
  Descriptor descriptor_;
};

// Holds the flock for as long as the descriptor is open.
class PosixDirectoryLock final : public DirectoryLock {
 public:
  explicit PosixDirectoryLock(int fd) : descriptor_(fd) {}

 private:
  Descriptor descriptor_;
};

// Opens a file to be copied and fills `status` from the open file, refusing
// anything but a regular file. The export looks at every source (through
// openSource) before it writes anything, so a copy only opens what was a
// regular file then; the check here covers a name replaced since.
int openCheckedSource(const std::string& path, struct stat& status) {
  Descriptor in(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (in.get() < 0) fail(errno, path);
  if (::fstat(in.get(), &status) != 0) fail(errno, path);
  if (!S_ISREG(status.st_mode)) throw notRegularFileError(path);
  return in.release();
}

// Opens a file to be copied, refusing anything but a regular file (links
// followed) without opening it, and fills `status` from the open file.
int openSource(const std::string& path, struct stat& status) {
  // Look before opening: opening a device can have effects of its own.
  if (::stat(path.c_str(), &status) != 0) fail(errno, path);
  if (!S_ISREG(status.st_mode)) throw notRegularFileError(path);
  return openCheckedSource(path, status);
}

int openDirectoryDescriptor(const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) fail(errno, directory, PathRole::Directory);
  return fd;
}

bool holdsFuseHiddenFiles(const std::string& directory) {
  DIR* dir = ::opendir(directory.c_str());
  if (!dir) return false;
  bool found = false;
  while (const dirent* entry = ::readdir(dir))
    if (std::strncmp(entry->d_name, ".fuse_hidden", 12) == 0) found = true;
  ::closedir(dir);
  return found;
}

// A FUSE file system asked to remove a file that it has not yet seen closed
// keeps it as ".fuse_hidden..." until it has; the kernel tells it of a close
// later, on its own time. An export takes back copies it has only just
// closed, so it waits for that moment (briefly) before the folder that held
// them can go and the destination is as it was.
void waitForFuseHiddenFiles(const std::string& directory) {
  constexpr long kFuseMagic = 0x65735546;
  struct statfs volume {};
  if (::statfs(directory.c_str(), &volume) != 0 || volume.f_type != kFuseMagic) return;
  for (int wait = 0; wait < 2000 && holdsFuseHiddenFiles(directory); ++wait)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

constexpr long kFatMagic = 0x4d44, kExFatMagic = 0x2011BAB0, kFuseMagic = 0x65735546;

// The type a FUSE volume says it stands for in the mount table ("fuse.fusefat"
// gives "fusefat"), found by the device number it gives its files.
std::string fuseTypeOf(const std::string& directory) {
  struct stat status {};
  if (::stat(directory.c_str(), &status) != 0) return {};
  const std::string device =
      std::to_string(major(status.st_dev)) + ":" + std::to_string(minor(status.st_dev));
  std::unique_ptr<FILE, int (*)(FILE*)> table(std::fopen("/proc/self/mountinfo", "re"),
                                              std::fclose);
  if (!table) return {};
  char* line = nullptr;
  std::size_t size = 0;
  std::string type;
  // "36 25 0:39 / /mnt rw,relatime - fuse.fusefat fusefat rw,...": the third
  // field is the device, the first after " - " the type.
  while (::getline(&line, &size, table.get()) > 0) {
    const std::string entry = line;
    const std::size_t start = entry.find(' ', entry.find(' ') + 1) + 1;
    if (entry.compare(start, device.size() + 1, device + " ") != 0) continue;
    const std::size_t dash = entry.find(" - ");
    if (dash == std::string::npos) continue;
    type = entry.substr(dash + 3, entry.find(' ', dash + 3) - dash - 3);
  }
  std::free(line);
  return type.starts_with("fuse.") ? type.substr(5) : type;
}

// Whether a volume is one of the FAT family, by the type statfs gives. A FAT
// volume mounted through FUSE (fusefat, a stand-in some players use) says so
// only in the mount table.
VolumeFormat formatOf(const std::string& directory, long type) {
  if (type == kFatMagic) return VolumeFormat::Fat;
  if (type == kExFatMagic) return VolumeFormat::ExFat;
  if (type != kFuseMagic) return VolumeFormat::Other;
  const std::string fuse = fuseTypeOf(directory);
  if (fuse.find("exfat") != std::string::npos) return VolumeFormat::ExFat;
  if (fuse.find("fat") != std::string::npos || fuse.find("msdos") != std::string::npos)
    return VolumeFormat::Fat;
  return VolumeFormat::Other;
}

// Whether a file system keeps what makes a file's identity: inode numbers
// that stay a file's for its life and a change time that changes with every
// change. Named ones only; anything else (FAT, NTFS through FUSE, network
// file systems, overlays) is hashed instead of trusted.
bool keepsIdentities(long type) {
  constexpr long kKept[] = {
      0xEF53,      // ext2, ext3, ext4
      0x58465342,  // xfs
      0x9123683E,  // btrfs
      0x01021994,  // tmpfs
      0xF2F52010,  // f2fs
      0x2FC12FC1,  // zfs
      0x3153464A,  // jfs
      0x52654973,  // reiserfs
      0xCA451A4E,  // bcachefs
  };
  return std::find(std::begin(kKept), std::end(kKept), type) != std::end(kKept);
}

// What an entry of an open directory is, links followed, from the directory
// alone where it tells (Missing for a dangling link or a vanished entry).
FileType typeOf(int directory, const dirent& entry) {
  switch (entry.d_type) {
    case DT_REG:
      return FileType::Regular;
    case DT_DIR:
      return FileType::Directory;
    case DT_LNK:
    case DT_UNKNOWN: {
      struct stat status {};
      if (::fstatat(directory, entry.d_name, &status, 0) != 0) return FileType::Missing;
      return statusOf(status).type;
    }
    default:
      return FileType::Other;
  }
}

// Whether a file's size or times differ between two looks at it.
bool changedBetween(const struct stat& before, const struct stat& after) {
  auto same = [](const struct timespec& a, const struct timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
  };
  return before.st_size != after.st_size || !same(before.st_mtim, after.st_mtim) ||
         !same(before.st_ctim, after.st_ctim);
}

}  // namespace

VolumeFacts PosixFileSystem::volume(const std::string& directory) {
  struct statvfs space {};
  if (::statvfs(directory.c_str(), &space) != 0) fail(errno, directory, PathRole::Directory);
  struct statfs kind {};
  if (::statfs(directory.c_str(), &kind) != 0) fail(errno, directory, PathRole::Directory);
  VolumeFacts facts;
  // A file system that reports no blocks at all (some FUSE ones) does not
  // tell its space; nothing can be concluded from its zeros.
  facts.spaceKnown = space.f_blocks > 0;
  // The allocation unit: a FAT volume's cluster.
  facts.blockSize = space.f_frsize ? space.f_frsize : space.f_bsize;
  facts.available = static_cast<std::uint64_t>(space.f_bavail) * facts.blockSize;
  errno = 0;
  const long limit = ::pathconf(directory.c_str(), _PC_NAME_MAX);
  if (limit >= 0)
    facts.nameLimit = static_cast<std::size_t>(limit);
  else if (errno != 0)
    fail(errno, directory, PathRole::Directory);
  facts.format = formatOf(directory, static_cast<long>(kind.f_type));
  facts.stableIdentity = keepsIdentities(static_cast<long>(kind.f_type));
  return facts;
}

FileStatus PosixFileSystem::status(const std::string& path, Look look) {
  struct stat status {};
  const int looked =
      look == Look::Entry ? ::lstat(path.c_str(), &status) : ::stat(path.c_str(), &status);
  if (looked != 0) {
    if (errno == ENOENT) return {};
    fail(errno, path, PathRole::Directory);
  }
  FileStatus result = statusOf(status);
  if (look == Look::Access) {
    // A file is to be read; a directory is to have entries made and removed.
    const bool directory = S_ISDIR(status.st_mode);
    if (::faccessat(AT_FDCWD, path.c_str(), directory ? W_OK | X_OK : R_OK, AT_EACCESS) != 0)
      result.accessDenied = std::make_shared<const RunTimeError>(
          errorFromErrno(errno, path, directory ? PathRole::Directory : PathRole::File));
  }
  return result;
}

std::vector<DirectoryEntry> PosixFileSystem::listDirectory(const std::string& path,
                                                           Listing listing) {
  Descriptor fd(openDirectoryDescriptor(path));
  DIR* dir = ::fdopendir(fd.get());
  if (!dir) fail(errno, path, PathRole::Directory);
  fd.release();  // the stream owns it now
  std::unique_ptr<DIR, int (*)(DIR*)> stream(dir, ::closedir);
  std::vector<DirectoryEntry> entries;
  for (;;) {
    errno = 0;
    const dirent* entry = ::readdir(dir);
    if (!entry) {
      if (errno != 0) fail(errno, path, PathRole::Directory);
      break;
    }
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (listing == Listing::Types) {
      entries.push_back({name, {typeOf(::dirfd(dir), *entry)}});
      continue;
    }
    struct stat status {};
    if (::fstatat(::dirfd(dir), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
      fail(errno, paths::join(path, name));
    entries.push_back({name, statusOf(status)});
  }
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return entries;
}

std::unique_ptr<ReadableFile> PosixFileSystem::openForReading(const std::string& path,
                                                              Reading reading) {
  struct stat status {};
  if (reading == Reading::Cached) {
    const int fd = openSource(path, status);
    return std::make_unique<PosixReadableFile>(fd, path, status);
  }
  // What is read back from the medium is what this program wrote there, so
  // it is opened at once and looked at after.
  const int fd = openCheckedSource(path, status);
  // The system would answer from the page cache, which still holds what was
  // written, so a drive that lies (a fake-capacity stick, a failing card)
  // would pass. The file's cached pages are dropped instead, and the reads
  // then go to the drive. This asks less than O_DIRECT, which needs aligned
  // buffers and which FUSE and tmpfs refuse: the pages of a file already
  // flushed are clean, and clean pages are always dropped.
  ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED);
  if (status.st_size >= (1 << 20)) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
  return std::make_unique<PosixReadableFile>(fd, path, status);
}

std::unique_ptr<DirectoryLock> PosixFileSystem::lockDirectory(const std::string& directory) {
  const int fd = openDirectoryDescriptor(directory);
  auto lock = std::make_unique<PosixDirectoryLock>(fd);
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (errno == EINTR) continue;
    if (errno == EWOULDBLOCK)
      throw RunTimeError(ErrorNumber::PathFileAccessError, directory, kAnotherExport);
    // A volume without locks (some network file systems) cannot be claimed;
    // the export goes on without the claim rather than not at all.
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL) break;
    fail(errno, directory, PathRole::Directory);
  }
  return lock;
}

std::unique_ptr<WritableFile> PosixFileSystem::createNew(const std::string& path) {
  int fd =
      ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
  if (fd < 0) {
    // A missing name here is a missing directory on the way to the file.
    fail(errno, path, errno == EEXIST ? PathRole::File : PathRole::Directory);
  }
  return std::make_unique<PosixWritableFile>(fd, path);
}

void PosixFileSystem::makeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) fail(errno, path, PathRole::Directory);
}

std::unique_ptr<OpenDirectory> PosixFileSystem::openDirectory(const std::string& path) {
  return std::make_unique<PosixOpenDirectory>(openDirectoryDescriptor(path), path);
}

namespace {

// Shows `seen` the `size` bytes of the open file from `start` on, read
// again: they are in the page cache, the kernel having just copied them.
void showCopied(int in, std::uint64_t start, std::uint64_t size, const std::string& path,
                const FileSystem::Seen& seen) {
  char* const buffer = threadBuffer();
  for (std::uint64_t at = start; at < start + size;) {
    const ssize_t got = ::pread(in, buffer, std::min<std::uint64_t>(kBufferSize, start + size - at),
                                static_cast<off_t>(at));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) fail(errno, path);
    if (got == 0) return;  // cut short: the check after the copy says so
    seen(buffer, static_cast<std::size_t>(got));
    at += static_cast<std::uint64_t>(got);
  }
}

// Copies `size` bytes from `in` to `out` with copy_file_range, showing each
// piece to `seen` as it is copied; where the kernel cannot copy between the
// two at all, through a buffer instead. Returns whether it went through the
// buffer.
bool copyInKernel(int in, int out, std::uint64_t size, bool writeBackEarly, const std::string& from,
                  const std::string& to, const FileSystem::Seen& seen) {
  std::uint64_t copied = 0;
  while (copied < size) {
    ssize_t moved = ::copy_file_range(in, nullptr, out, nullptr,
                                      std::min<std::uint64_t>(size - copied, kCopyPiece), 0);
    if (moved == 0) break;
    if (moved > 0) {
      if (writeBackEarly)
        ::sync_file_range(out, static_cast<off_t>(copied), moved, SYNC_FILE_RANGE_WRITE);
      // Each piece is shown as it is copied, while it is still cached.
      if (seen) showCopied(in, copied, static_cast<std::uint64_t>(moved), from, seen);
      copied += static_cast<std::uint64_t>(moved);
      throwIfInterrupted();
      continue;
    }
    if (errno == EINTR) {
      throwIfInterrupted();
      continue;
    }
    bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP;
    if (unsupported && copied == 0) {
      copyThroughBuffer(in, out, from, to, seen);
      return true;
    }
    // Failures here are nearly always on the writing side (a full or
    // removed drive), so the copy's path is the one named.
    fail(errno, to);
  }
  return false;
}

}  // namespace

FileStatus PosixFileSystem::copyInto(const std::string& from, const OpenDirectory& into,
                                     const std::string& name, const Seen& seen) {
  const std::string to = paths::join(into.path(), name);
  const auto* open = dynamic_cast<const PosixOpenDirectory*>(&into);
  struct stat status {};
  Descriptor in(openCheckedSource(from, status));
  Descriptor out(::openat(open ? open->fd() : AT_FDCWD, open ? name.c_str() : to.c_str(),
                          O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
  if (out.get() < 0) fail(errno, to);

  // The size the open file has now; a file that grows meanwhile is copied
  // as it was, one that shrinks as it is.
  const auto size = static_cast<std::uint64_t>(status.st_size);
  // Start writing a larger copy to the drive as it is made, while the rest
  // of it and the next copies are made, so that the flush at the end finds
  // little left to do. Small copies are left to the flush: starting each
  // on its own costs more than it saves. Nothing waits here, and a failure
  // of the write-back shows in that flush, so the call's own result does
  // not matter; where it is not supported the flush does it all.
  const bool writeBackEarly = size >= kEarlyWriteBackFrom;
  const bool buffered = copyInKernel(in.get(), out.get(), size, writeBackEarly, from, to, seen);
  if (writeBackEarly && buffered) ::sync_file_range(out.get(), 0, 0, SYNC_FILE_RANGE_WRITE);
  // A source cut short, grown or rewritten while it was read (or shown)
  // leaves a copy that is neither its old bytes nor its new ones; it fails,
  // as tar reports "file changed as we read it".
  struct stat after {};
  if (::fstat(in.get(), &after) != 0) fail(errno, from);
  if (changedBetween(status, after))
    throw RunTimeError(ErrorNumber::PathFileAccessError, from, "Changed while it was copied");
  // The copy keeps its source's times, as `cp -p` does, so that a later
  // refresh can tell an unchanged copy by its size and time alone.
  const struct timespec times[2] = {status.st_atim, status.st_mtim};
  if (::futimens(out.get(), times) != 0) fail(errno, to);
  out.close(to);
  return statusOf(status);
}

void PosixFileSystem::rename(const std::string& from, const std::string& to) {
  if (::rename(from.c_str(), to.c_str()) != 0) fail(errno, to);
}

bool PosixFileSystem::removeFile(const std::string& path) {
  if (::unlink(path.c_str()) != 0) {
    if (errno == ENOENT) return false;
    fail(errno, path);
  }
  waitForFuseHiddenFiles(paths::parent(path));
  return true;
}

void PosixFileSystem::removeDirectory(const std::string& path) {
  waitForFuseHiddenFiles(path);
  if (::rmdir(path.c_str()) != 0) fail(errno, path, PathRole::Directory);
}

std::unique_ptr<VolumeSync> PosixFileSystem::watchVolume(const std::string& directory) {
  return std::make_unique<PosixVolumeSync>(openDirectoryDescriptor(directory), directory);
}

void PosixFileSystem::syncDirectory(const std::string& directory) {
  Descriptor fd(openDirectoryDescriptor(directory));
  if (::fsync(fd.get()) == 0) return;
  // Some file systems cannot flush a single directory; the whole volume
  // then makes its entries durable instead.
  if (errno == EINVAL || errno == EOPNOTSUPP || errno == ENOSYS) {
    if (::syncfs(fd.get()) == 0) return;
  }
  fail(errno, directory, PathRole::Directory);
}

std::unique_ptr<FileSystem> hostFileSystem() { return std::make_unique<PosixFileSystem>(); }

}  // namespace kavo
