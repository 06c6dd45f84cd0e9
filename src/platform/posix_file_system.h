#pragma once

#include "platform/file_system.h"

namespace kavo {

// The file services on a POSIX host. Copies go through copy_file_range, so
// the kernel moves the bytes (or the file system clones them) without a trip
// through user space; volumes are made durable with one syncfs each.
class PosixFileSystem final : public FileSystem {
 public:
  std::unique_ptr<WritableFile> openForOutput(const std::string& path) override;
  std::unique_ptr<WritableFile> openForAppend(const std::string& path) override;
  std::uint64_t fileLength(const std::string& path) override;
  void makeDirectory(const std::string& path) override;
  void copyFile(const std::string& from, const std::string& to) override;
  void requireDirectory(const std::string& path) override;
  bool exists(const std::string& path) override;
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override;
};

}  // namespace kavo
