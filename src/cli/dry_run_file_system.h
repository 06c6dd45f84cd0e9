#pragma once

#include <cstdint>
#include <map>
#include <ostream>
#include <string>

#include "platform/forwarding_file_system.h"

namespace kavo {

// Looks at the disk like the file system it wraps, but changes nothing:
// directories and copies it is asked to make are printed as a plan, one per
// line ("mkdir PATH", "copy FROM -> TO"), and files it is asked to write are
// kept in memory. A source that a real copy would refuse or fail to open is
// refused the same way, so a plan is only made for an export that can start.
class DryRunFileSystem final : public ForwardingFileSystem {
 public:
  DryRunFileSystem(FileSystem& target, std::ostream& plan)
      : ForwardingFileSystem(target), plan_(plan) {}

  // The bytes each written file would hold, by path.
  const std::map<std::string, std::string>& writtenFiles() const { return written_; }

  std::unique_ptr<WritableFile> openForOutput(const std::string& path) override;
  std::unique_ptr<WritableFile> openForAppend(const std::string& path) override;
  std::uint64_t fileLength(const std::string& path) override;
  void makeDirectory(const std::string& path) override;
  void copyFile(const std::string& from, const std::string& to) override;
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override;

 private:
  std::ostream& plan_;
  std::map<std::string, std::string> written_;
  std::map<std::string, std::uint64_t> copies_;
};

}  // namespace kavo
