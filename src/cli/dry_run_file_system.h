#pragma once

#include <functional>
#include <map>
#include <ostream>
#include <string>
#include <string_view>

#include "platform/services/forwarding_file_system.h"

namespace kavo {

// Looks at the disk like the file system it wraps, and claims directories as
// it does, but changes nothing: directories and copies it is asked to make
// are printed as a plan, one per line ("mkdir PATH", "copy FROM -> TO"),
// files it is asked to write are kept in memory, and renames and removals
// apply to those. For a replace, the plan also names the earlier copies
// moved to their new places ("reuse FROM -> TO") and the files removed
// ("remove PATH"), and shows paths under the group names they end with. The export's checks run
// against the real disk, so a plan is only made for an export that can start.
class DryRunFileSystem final : public ForwardingFileSystem {
 public:
  // `shown` turns a path into the text the plan prints.
  using Shown = std::function<std::string(std::string_view)>;
  DryRunFileSystem(FileSystem& target, std::ostream& plan, Shown shown)
      : ForwardingFileSystem(target), plan_(plan), shown_(std::move(shown)) {}

  // The bytes each written file would hold, by path.
  const std::map<std::string, std::string>& writtenFiles() const { return written_; }

  std::unique_ptr<WritableFile> createNew(const std::string& path) override;
  void makeDirectory(const std::string& path) override;
  // The directories are not made, so they are not opened either.
  std::unique_ptr<OpenDirectory> openDirectory(const std::string& path) override {
    return std::make_unique<OpenDirectory>(path);
  }
  void copyInto(const std::string& from, const OpenDirectory& into,
                const std::string& name) override;
  // The plan lists the copies in the order the export hands them in.
  std::size_t copiesAtOnce() const override { return 1; }
  void rename(const std::string& from, const std::string& to) override;
  bool removeFile(const std::string& path) override;
  void removeDirectory(const std::string&) override {}
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override;
  void syncDirectory(const std::string&) override {}

 private:
  std::ostream& plan_;
  Shown shown_;
  std::map<std::string, std::string> written_;
};

}  // namespace kavo
