#include "cli/dry_run_file_system.h"

#include <cerrno>

#include "platform/services/run_time_error.h"

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

std::unique_ptr<WritableFile> DryRunFileSystem::createNew(const std::string& path) {
  if (written_.count(path) || target_.exists(path)) throw errorFromErrno(EEXIST, path);
  return std::make_unique<MemoryFile>(written_[path]);
}

void DryRunFileSystem::makeDirectory(const std::string& path) {
  plan_ << "mkdir " << shown_(path) << '\n';
}

void DryRunFileSystem::copyInto(const std::string& from, const OpenDirectory& into,
                                const std::string& name) {
  plan_ << "copy " << shown_(from) << " -> " << shown_(into.path() + "/" + name) << '\n';
}

void DryRunFileSystem::rename(const std::string& from, const std::string& to) {
  auto found = written_.find(from);
  if (found == written_.end()) return;  // a file on disk: it stays where it is
  std::string bytes = std::move(found->second);
  written_.erase(found);
  written_[to] = std::move(bytes);
}

bool DryRunFileSystem::removeFile(const std::string& path) {
  return written_.erase(path) > 0;
}

std::unique_ptr<VolumeSync> DryRunFileSystem::watchVolume(const std::string&) {
  return std::make_unique<NoSync>();
}

}  // namespace kavo
