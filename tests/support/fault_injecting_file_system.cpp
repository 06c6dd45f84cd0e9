#include "support/fault_injecting_file_system.h"

#include "platform/services/run_time_error.h"

namespace kavo::testing {

namespace {

class FaultyFile final : public WritableFile {
 public:
  FaultyFile(std::unique_ptr<WritableFile> file, std::string path, FaultInjectingFileSystem& faults)
      : file_(std::move(file)), path_(std::move(path)), faults_(faults) {}

  void print(std::string_view bytes) override {
    if (faults_.failsNext(Service::Print)) file_->print(bytes.substr(0, bytes.size() / 2));
    faults_.call(Service::Print, path_);
    file_->print(bytes);
  }
  void close() override {
    file_->close();
    faults_.call(Service::Close, path_);
  }

 private:
  std::unique_ptr<WritableFile> file_;
  std::string path_;
  FaultInjectingFileSystem& faults_;
};

class FaultySync final : public VolumeSync {
 public:
  FaultySync(std::unique_ptr<VolumeSync> sync, std::string directory,
             FaultInjectingFileSystem& faults)
      : sync_(std::move(sync)), directory_(std::move(directory)), faults_(faults) {}

  void sync() override {
    faults_.call(Service::Sync, directory_);
    sync_->sync();
  }

 private:
  std::unique_ptr<VolumeSync> sync_;
  std::string directory_;
  FaultInjectingFileSystem& faults_;
};

}  // namespace

const char* nameOf(Service service) {
  switch (service) {
    case Service::Look:
      return "look";
    case Service::Lock:
      return "lock";
    case Service::Open:
      return "open";
    case Service::Print:
      return "print";
    case Service::Close:
      return "close";
    case Service::MakeDirectory:
      return "make directory";
    case Service::Copy:
      return "copy";
    case Service::Rename:
      return "rename";
    case Service::Remove:
      return "remove";
    case Service::Sync:
      return "sync";
  }
  return "?";
}

FaultInjectingFileSystem::FaultInjectingFileSystem(FileSystem& target, Service service,
                                                   int failingCall, int errnoValue)
    : ForwardingFileSystem(target),
      service_(service),
      failingCall_(failingCall),
      errno_(errnoValue) {}

bool FaultInjectingFileSystem::failsNext(Service service) const {
  std::lock_guard lock(mutex_);
  return service == service_ && calls_ + 1 == failingCall_;
}

void FaultInjectingFileSystem::call(Service service, const std::string& path) {
  {
    std::lock_guard lock(mutex_);
    if (service != service_ || ++calls_ != failingCall_) return;
  }
  injected_ = true;
  const bool directory =
      service == Service::MakeDirectory || service == Service::Sync || service == Service::Lock;
  throw errorFromErrno(errno_, path, directory ? PathRole::Directory : PathRole::File);
}

void FaultInjectingFileSystem::requireDirectory(const std::string& path) {
  call(Service::Look, path);
  target_.requireDirectory(path);
}

FileStatus FaultInjectingFileSystem::status(const std::string& path) {
  call(Service::Look, path);
  return target_.status(path);
}

std::vector<DirectoryEntry> FaultInjectingFileSystem::listDirectory(const std::string& path) {
  call(Service::Look, path);
  return target_.listDirectory(path);
}

FileStatus FaultInjectingFileSystem::inspectSource(const std::string& path) {
  call(Service::Look, path);
  return target_.inspectSource(path);
}

std::unique_ptr<ReadableFile> FaultInjectingFileSystem::openForReading(const std::string& path) {
  call(Service::Look, path);
  return target_.openForReading(path);
}

std::int64_t FaultInjectingFileSystem::timeGranularity(const std::string& directory) {
  call(Service::Look, directory);
  return target_.timeGranularity(directory);
}

void FaultInjectingFileSystem::requireWritable(const std::string& directory) {
  call(Service::Look, directory);
  target_.requireWritable(directory);
}

VolumeSpace FaultInjectingFileSystem::volumeSpace(const std::string& directory) {
  call(Service::Look, directory);
  return target_.volumeSpace(directory);
}

std::size_t FaultInjectingFileSystem::nameLimit(const std::string& directory) {
  call(Service::Look, directory);
  return target_.nameLimit(directory);
}

std::unique_ptr<DirectoryLock> FaultInjectingFileSystem::lockDirectory(
    const std::string& directory) {
  call(Service::Lock, directory);
  return target_.lockDirectory(directory);
}

std::unique_ptr<WritableFile> FaultInjectingFileSystem::createNew(const std::string& path) {
  call(Service::Open, path);
  return std::make_unique<FaultyFile>(target_.createNew(path), path, *this);
}

void FaultInjectingFileSystem::makeDirectory(const std::string& path) {
  call(Service::MakeDirectory, path);
  target_.makeDirectory(path);
}

std::unique_ptr<OpenDirectory> FaultInjectingFileSystem::openDirectory(const std::string& path) {
  call(Service::Open, path);
  return target_.openDirectory(path);
}

void FaultInjectingFileSystem::copyInto(const std::string& from, const OpenDirectory& into,
                                        const std::string& name) {
  call(Service::Copy, into.path() + "/" + name);
  target_.copyInto(from, into, name);
}

void FaultInjectingFileSystem::rename(const std::string& from, const std::string& to) {
  call(Service::Rename, to);
  target_.rename(from, to);
}

bool FaultInjectingFileSystem::removeFile(const std::string& path) {
  call(Service::Remove, path);
  return target_.removeFile(path);
}

void FaultInjectingFileSystem::removeDirectory(const std::string& path) {
  call(Service::Remove, path);
  target_.removeDirectory(path);
}

std::unique_ptr<VolumeSync> FaultInjectingFileSystem::watchVolume(const std::string& directory) {
  call(Service::Sync, directory);
  return std::make_unique<FaultySync>(target_.watchVolume(directory), directory, *this);
}

void FaultInjectingFileSystem::syncDirectory(const std::string& directory) {
  call(Service::Sync, directory);
  target_.syncDirectory(directory);
}

}  // namespace kavo::testing
