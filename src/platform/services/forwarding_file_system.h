#pragma once

#include "platform/services/file_system.h"

namespace kavo {

// Passes every call to another file system. Wrappers that change a few
// services (fault injection, recording, a dry run) derive from it and
// override only those.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& target) : target_(target) {}

  void requireDirectory(const std::string& path) override { target_.requireDirectory(path); }
  FileStatus status(const std::string& path) override { return target_.status(path); }
  std::vector<DirectoryEntry> listDirectory(const std::string& path) override {
    return target_.listDirectory(path);
  }
  FileStatus inspectSource(const std::string& path) override { return target_.inspectSource(path); }
  std::unique_ptr<ReadableFile> openForReading(const std::string& path) override {
    return target_.openForReading(path);
  }
  std::int64_t timeGranularity(const std::string& directory) override {
    return target_.timeGranularity(directory);
  }
  void requireWritable(const std::string& directory) override {
    target_.requireWritable(directory);
  }
  VolumeSpace volumeSpace(const std::string& directory) override {
    return target_.volumeSpace(directory);
  }
  std::size_t nameLimit(const std::string& directory) override {
    return target_.nameLimit(directory);
  }
  std::unique_ptr<DirectoryLock> lockDirectory(const std::string& directory) override {
    return target_.lockDirectory(directory);
  }
  std::unique_ptr<WritableFile> createNew(const std::string& path) override {
    return target_.createNew(path);
  }
  void makeDirectory(const std::string& path) override { target_.makeDirectory(path); }
  std::unique_ptr<OpenDirectory> openDirectory(const std::string& path) override {
    return target_.openDirectory(path);
  }
  void copyInto(const std::string& from, const OpenDirectory& into,
                const std::string& name) override {
    target_.copyInto(from, into, name);
  }
  std::size_t copiesAtOnce() const override { return target_.copiesAtOnce(); }
  void rename(const std::string& from, const std::string& to) override { target_.rename(from, to); }
  bool removeFile(const std::string& path) override { return target_.removeFile(path); }
  void removeDirectory(const std::string& path) override { target_.removeDirectory(path); }
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override {
    return target_.watchVolume(directory);
  }
  void syncDirectory(const std::string& directory) override { target_.syncDirectory(directory); }

 protected:
  FileSystem& target_;
};

}  // namespace kavo
