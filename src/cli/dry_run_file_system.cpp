#include "cli/dry_run_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/run_time_error.h"

namespace kavo {

namespace {

class MemoryFile final : public WritableFile {
 public:
  explicit MemoryFile(std::string& bytes) : bytes_(bytes) {}
  void print(std::string_view bytes) override { bytes_.append(bytes); }
  void close() override {}

 private:
  std::string& bytes_;
};

class NoSync final : public VolumeSync {
 public:
  void sync() override {}
};

}  // namespace

std::unique_ptr<WritableFile> DryRunFileSystem::openForOutput(const std::string& path) {
  std::string& bytes = written_[path];
  bytes.clear();
  return std::make_unique<MemoryFile>(bytes);
}

std::unique_ptr<WritableFile> DryRunFileSystem::openForAppend(const std::string& path) {
  auto found = written_.find(path);
  if (found == written_.end()) throw errorFromErrno(ENOENT, path);
  return std::make_unique<MemoryFile>(found->second);
}

std::uint64_t DryRunFileSystem::fileLength(const std::string& path) {
  if (auto found = written_.find(path); found != written_.end())
    return found->second.size();
  if (auto found = copies_.find(path); found != copies_.end()) return found->second;
  return target_.fileLength(path);
}

void DryRunFileSystem::makeDirectory(const std::string& path) {
  plan_ << "mkdir " << path << '\n';
}

void DryRunFileSystem::copyFile(const std::string& from, const std::string& to) {
  struct stat status {};
  if (::stat(from.c_str(), &status) != 0) throw errorFromErrno(errno, from);
  if (!S_ISREG(status.st_mode))
    throw notRegularFileError(from);
  int fd = ::open(from.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) throw errorFromErrno(errno, from);
  ::close(fd);
  copies_[to] = static_cast<std::uint64_t>(status.st_size);
  plan_ << "copy " << from << " -> " << to << '\n';
}

std::unique_ptr<VolumeSync> DryRunFileSystem::watchVolume(const std::string&) {
  return std::make_unique<NoSync>();
}

}  // namespace kavo
