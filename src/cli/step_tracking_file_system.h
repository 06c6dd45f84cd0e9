#pragma once

#include <cstdint>
#include <string>

#include "platform/forwarding_file_system.h"

namespace kavo {

// Passes every call on and remembers which step of an export the last one
// belonged to, so that a failure can be reported with the step it happened
// in. It also notes whether anything was written yet and counts the bytes
// of the copies made.
class StepTrackingFileSystem final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;

  // What the last call was doing ("copying", "writing the index", ...).
  const std::string& step() const { return step_; }
  // Whether a call that changes something on disk has been made.
  bool startedWriting() const { return startedWriting_; }
  std::uint64_t bytesCopied() const { return bytesCopied_; }

  std::unique_ptr<WritableFile> openForOutput(const std::string& path) override;
  std::unique_ptr<WritableFile> openForAppend(const std::string& path) override;
  std::uint64_t fileLength(const std::string& path) override;
  void makeDirectory(const std::string& path) override;
  void copyFile(const std::string& from, const std::string& to) override;
  void requireDirectory(const std::string& path) override;
  bool exists(const std::string& path) override;
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override;

 private:
  void enter(const char* step, bool writes = false);

  std::string step_ = "starting";
  bool startedWriting_ = false;
  std::uint64_t bytesCopied_ = 0;
};

}  // namespace kavo
