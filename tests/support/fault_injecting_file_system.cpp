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
    faults_.passing(Service::Print, path_);
    file_->print(bytes);
  }
  void close() override {
    file_->close();
    faults_.passing(Service::Close, path_);
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
    faults_.passing(Service::Sync, directory_);
    sync_->sync();
  }

 private:
  std::unique_ptr<VolumeSync> sync_;
  std::string directory_;
  FaultInjectingFileSystem& faults_;
};

}  // namespace

const char* nameOf(Service service) {
  static const char* const kNames[] = {"look",  "read back",      "lock", "open",   "print",
                                       "close", "make directory", "copy", "rename", "remove",
                                       "sync"};
  return kNames[static_cast<int>(service)];
}

std::unique_ptr<WritableFile> FaultInjectingFileSystem::createNew(const std::string& path) {
  return std::make_unique<FaultyFile>(ForwardingFileSystem::createNew(path), path, *this);
}

std::unique_ptr<VolumeSync> FaultInjectingFileSystem::watchVolume(const std::string& directory) {
  return std::make_unique<FaultySync>(ForwardingFileSystem::watchVolume(directory), directory,
                                      *this);
}

bool FaultInjectingFileSystem::failsNext(Service service) const {
  std::lock_guard lock(mutex_);
  return service == service_ && calls_ + 1 == failingCall_;
}

void FaultInjectingFileSystem::passing(Service service, const std::string& path,
                                       const std::string&) {
  {
    std::lock_guard lock(mutex_);
    if (service != service_ || ++calls_ != failingCall_) return;
  }
  injected_ = true;
  const bool directory =
      service == Service::MakeDirectory || service == Service::Sync || service == Service::Lock;
  throw errorFromErrno(errno_, path, directory ? PathRole::Directory : PathRole::File);
}

}  // namespace kavo::testing
