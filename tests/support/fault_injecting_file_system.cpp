#include "support/fault_injecting_file_system.h"

#include "platform/run_time_error.h"

namespace kavo::testing {

namespace {

class FaultyFile final : public WritableFile {
 public:
  FaultyFile(std::unique_ptr<WritableFile> file, std::string path,
             FaultInjectingFileSystem& faults)
      : file_(std::move(file)), path_(std::move(path)), faults_(faults) {}

  void print(std::string_view bytes) override {
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
    case Service::MakeDirectory: return "make directory";
    case Service::Open: return "open";
    case Service::Print: return "print";
    case Service::Close: return "close";
    case Service::Sync: return "sync";
    case Service::Copy: return "copy";
  }
  return "?";
}

FaultInjectingFileSystem::FaultInjectingFileSystem(FileSystem& target,
                                                   Service service,
                                                   int failingCall, int errnoValue)
    : ForwardingFileSystem(target),
      service_(service),
      failingCall_(failingCall),
      errno_(errnoValue) {}

void FaultInjectingFileSystem::call(Service service, const std::string& path) {
  if (service != service_ || ++calls_ != failingCall_) return;
  injected_ = true;
  throw errorFromErrno(errno_, path,
                       service == Service::MakeDirectory || service == Service::Sync
                           ? PathRole::Directory
                           : PathRole::File);
}

std::unique_ptr<WritableFile> FaultInjectingFileSystem::wrap(
    std::unique_ptr<WritableFile> file, const std::string& path) {
  return std::make_unique<FaultyFile>(std::move(file), path, *this);
}

std::unique_ptr<WritableFile> FaultInjectingFileSystem::openForOutput(
    const std::string& path) {
  call(Service::Open, path);
  return wrap(target_.openForOutput(path), path);
}

std::unique_ptr<WritableFile> FaultInjectingFileSystem::openForAppend(
    const std::string& path) {
  call(Service::Open, path);
  return wrap(target_.openForAppend(path), path);
}

void FaultInjectingFileSystem::makeDirectory(const std::string& path) {
  call(Service::MakeDirectory, path);
  target_.makeDirectory(path);
}

void FaultInjectingFileSystem::copyFile(const std::string& from,
                                        const std::string& to) {
  call(Service::Copy, to);
  target_.copyFile(from, to);
}

std::unique_ptr<VolumeSync> FaultInjectingFileSystem::watchVolume(
    const std::string& directory) {
  call(Service::Sync, directory);
  return std::make_unique<FaultySync>(target_.watchVolume(directory), directory,
                                      *this);
}

}  // namespace kavo::testing
