#pragma once

#include "platform/file_system.h"

namespace kavo {

// Passes every call to another file system. Wrappers that change a few
// services (fault injection, recording, another way of syncing) derive from
// it and override only those.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& target) : target_(target) {}

  std::unique_ptr<WritableFile> openForOutput(const std::string& path) override {
    return target_.openForOutput(path);
  }
  std::unique_ptr<WritableFile> openForAppend(const std::string& path) override {
    return target_.openForAppend(path);
  }
  std::uint64_t fileLength(const std::string& path) override {
    return target_.fileLength(path);
  }
  void makeDirectory(const std::string& path) override {
    target_.makeDirectory(path);
  }
  void copyFile(const std::string& from, const std::string& to) override {
    target_.copyFile(from, to);
  }
  void requireDirectory(const std::string& path) override {
    target_.requireDirectory(path);
  }
  bool exists(const std::string& path) override { return target_.exists(path); }
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override {
    return target_.watchVolume(directory);
  }

 protected:
  FileSystem& target_;
};

}  // namespace kavo
