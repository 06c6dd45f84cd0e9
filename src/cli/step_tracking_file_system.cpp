#include "cli/step_tracking_file_system.h"

namespace kavo {

namespace {

class TrackedFile final : public WritableFile {
 public:
  TrackedFile(std::unique_ptr<WritableFile> file, std::string& step)
      : file_(std::move(file)), step_(step) {}
  void print(std::string_view bytes) override {
    step_ = "writing the index";
    file_->print(bytes);
  }
  void close() override {
    step_ = "closing the index";
    file_->close();
  }

 private:
  std::unique_ptr<WritableFile> file_;
  std::string& step_;
};

class TrackedSync final : public VolumeSync {
 public:
  TrackedSync(std::unique_ptr<VolumeSync> sync, std::string& step)
      : sync_(std::move(sync)), step_(step) {}
  void sync() override {
    step_ = "writing to the drive";
    sync_->sync();
  }

 private:
  std::unique_ptr<VolumeSync> sync_;
  std::string& step_;
};

}  // namespace

void StepTrackingFileSystem::enter(const char* step, bool writes) {
  step_ = step;
  if (writes) startedWriting_ = true;
}

std::unique_ptr<WritableFile> StepTrackingFileSystem::openForOutput(
    const std::string& path) {
  enter("creating the index", true);
  return std::make_unique<TrackedFile>(target_.openForOutput(path), step_);
}

std::unique_ptr<WritableFile> StepTrackingFileSystem::openForAppend(
    const std::string& path) {
  enter("padding the index", true);
  return std::make_unique<TrackedFile>(target_.openForAppend(path), step_);
}

std::uint64_t StepTrackingFileSystem::fileLength(const std::string& path) {
  enter("measuring the index");
  return target_.fileLength(path);
}

void StepTrackingFileSystem::makeDirectory(const std::string& path) {
  enter("creating a group directory", true);
  target_.makeDirectory(path);
}

void StepTrackingFileSystem::copyFile(const std::string& from,
                                      const std::string& to) {
  enter("copying", true);
  target_.copyFile(from, to);
  enter("measuring a copy");
  bytesCopied_ += target_.fileLength(to);
}

void StepTrackingFileSystem::requireDirectory(const std::string& path) {
  enter("checking the destination");
  target_.requireDirectory(path);
}

bool StepTrackingFileSystem::exists(const std::string& path) {
  enter("checking the destination");
  return target_.exists(path);
}

std::unique_ptr<VolumeSync> StepTrackingFileSystem::watchVolume(
    const std::string& directory) {
  enter("opening the drive");
  return std::make_unique<TrackedSync>(target_.watchVolume(directory), step_);
}

}  // namespace kavo
