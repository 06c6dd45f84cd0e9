#include "platform/posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/run_time_error.h"

namespace kavo {

namespace {

[[noreturn]] void fail(int errnoValue, const std::string& path,
                       PathRole role = PathRole::File) {
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

void writeAll(int fd, const char* data, std::size_t size,
              const std::string& path) {
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
  PosixWritableFile(int fd, std::string path)
      : descriptor_(fd), path_(std::move(path)) {}

  void print(std::string_view bytes) override {
    writeAll(descriptor_.get(), bytes.data(), bytes.size(), path_);
  }

  void close() override { descriptor_.close(path_); }

 private:
  Descriptor descriptor_;
  std::string path_;
};

std::unique_ptr<WritableFile> openForWriting(const std::string& path,
                                             int modeFlags) {
  // O_NONBLOCK keeps a FIFO without a reader from hanging the open; it is
  // cleared again at once, since regular files ignore it anyway.
  int fd = ::open(path.c_str(),
                  O_WRONLY | O_CREAT | O_CLOEXEC | O_NOCTTY | O_NONBLOCK |
                      modeFlags,
                  0666);
  // A missing name here is a missing directory on the way to the file.
  if (fd < 0) fail(errno, path, PathRole::Directory);
  auto file = std::make_unique<PosixWritableFile>(fd, path);
  int flags = ::fcntl(fd, F_GETFL);
  if (flags < 0 || ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) < 0)
    fail(errno, path);
  return file;
}

// Copies in user space, for the file systems where copy_file_range cannot.
void copyThroughBuffer(int in, int out, const std::string& from,
                       const std::string& to) {
  std::vector<char> buffer(256 * 1024);
  for (;;) {
    ssize_t got = ::read(in, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR) continue;
      fail(errno, from);
    }
    if (got == 0) return;
    writeAll(out, buffer.data(), static_cast<std::size_t>(got), to);
  }
}

class PosixVolumeSync final : public VolumeSync {
 public:
  PosixVolumeSync(int fd, std::string directory)
      : descriptor_(fd), directory_(std::move(directory)) {}

  // syncfs reports every write-back error on the volume since this
  // descriptor was opened, which is why it is opened before the writes.
  void sync() override {
    if (::syncfs(descriptor_.get()) != 0) fail(errno, directory_);
  }

 private:
  Descriptor descriptor_;
  std::string directory_;
};

}  // namespace

std::unique_ptr<WritableFile> PosixFileSystem::openForOutput(
    const std::string& path) {
  return openForWriting(path, O_TRUNC);
}

std::unique_ptr<WritableFile> PosixFileSystem::openForAppend(
    const std::string& path) {
  return openForWriting(path, O_APPEND);
}

std::uint64_t PosixFileSystem::fileLength(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0) fail(errno, path);
  return static_cast<std::uint64_t>(status.st_size);
}

void PosixFileSystem::makeDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) fail(errno, path, PathRole::Directory);
}

void PosixFileSystem::copyFile(const std::string& from, const std::string& to) {
  // Look before opening: opening a device can have effects of its own.
  struct stat status {};
  if (::stat(from.c_str(), &status) != 0) fail(errno, from);
  if (!S_ISREG(status.st_mode)) throw notRegularFileError(from);

  Descriptor in(::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
  if (in.get() < 0) fail(errno, from);
  // The name may have been replaced by something else since the look.
  if (::fstat(in.get(), &status) != 0) fail(errno, from);
  if (!S_ISREG(status.st_mode)) throw notRegularFileError(from);

  Descriptor out(::open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666));
  if (out.get() < 0) fail(errno, to);

  constexpr std::size_t kChunk = std::size_t{1} << 30;
  bool copiedAny = false;
  for (;;) {
    ssize_t moved = ::copy_file_range(in.get(), nullptr, out.get(), nullptr,
                                      kChunk, 0);
    if (moved == 0) break;
    if (moved > 0) {
      copiedAny = true;
      continue;
    }
    if (errno == EINTR) continue;
    bool unsupported = errno == EXDEV || errno == EINVAL || errno == ENOSYS ||
                       errno == EOPNOTSUPP;
    if (unsupported && !copiedAny) {
      copyThroughBuffer(in.get(), out.get(), from, to);
      break;
    }
    // Failures here are nearly always on the writing side (a full or
    // removed drive), so the copy's path is the one named.
    fail(errno, to);
  }
  out.close(to);
}

void PosixFileSystem::requireDirectory(const std::string& path) {
  struct stat status {};
  if (::stat(path.c_str(), &status) != 0)
    fail(errno, path, PathRole::Directory);
  if (!S_ISDIR(status.st_mode)) fail(ENOTDIR, path, PathRole::Directory);
}

bool PosixFileSystem::exists(const std::string& path) {
  struct stat status {};
  if (::lstat(path.c_str(), &status) == 0) return true;
  if (errno == ENOENT) return false;
  fail(errno, path, PathRole::Directory);
}

std::unique_ptr<VolumeSync> PosixFileSystem::watchVolume(
    const std::string& directory) {
  int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) fail(errno, directory, PathRole::Directory);
  return std::make_unique<PosixVolumeSync>(fd, directory);
}

}  // namespace kavo
