#include "cli/dry_run_file_system.h"

#include <cerrno>

#include "export/earlier_layout.h"
#include "export/export_checks.h"
#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

class MemoryFile final : public WritableFile {
 public:
  explicit MemoryFile(std::string& bytes) : bytes_(bytes) {}
  void print(std::string_view bytes) override { bytes_.append(bytes); }
  void close() override {}

 private:
  std::string& bytes_;
};

class NoSync final : public VolumeSync {
 public:
  void sync() override {}
};

}  // namespace

std::unique_ptr<WritableFile> DryRunFileSystem::createNew(const std::string& path) {
  if (written_.count(path) || target_.exists(path)) throw errorFromErrno(EEXIST, path);
  return std::make_unique<MemoryFile>(written_[path]);
}

void DryRunFileSystem::makeDirectory(const std::string& path) {
  // A replace's staged group that takes the place of one already there
  // makes no new directory, as far as the plan goes.
  const std::string final = withFinalGroupNames(path);
  if (final != path && target_.exists(final)) return;
  plan_ << "mkdir " << shown_(final) << '\n';
}

void DryRunFileSystem::copyInto(const std::string& from, const OpenDirectory& into,
                                const std::string& name) {
  plan_ << "copy " << shown_(from) << " -> "
        << shown_(withFinalGroupNames(into.path() + "/" + name)) << '\n';
}

void DryRunFileSystem::rename(const std::string& from, const std::string& to) {
  auto found = written_.find(from);
  if (found == written_.end()) {
    // On disk, everything stays where it is; an earlier copy that a replace
    // moves to its new place is part of the plan, and so is an earlier index
    // that an interrupted export left under its waiting name, put back.
    if (isInStagedGroup(to))
      plan_ << "reuse " << shown_(from) << " -> " << shown_(withFinalGroupNames(to)) << '\n';
    else if (from == earlierIndexPathFor(to) && target_.exists(from))
      plan_ << "rename " << shown_(from) << " -> " << shown_(to) << '\n';
    return;
  }
  std::string bytes = std::move(found->second);
  written_.erase(found);
  written_[to] = std::move(bytes);
}

bool DryRunFileSystem::removeFile(const std::string& path) {
  if (written_.erase(path) > 0) return true;
  // A file on disk that a replace removes: what an interrupted export left,
  // or, under the name of the retired group it would be in by then, an
  // earlier copy nothing reuses.
  const std::string final = withFinalGroupNames(path);
  const bool there = target_.exists(path);
  if (!there && final == path) return false;  // nothing there, in the plan either
  plan_ << "remove " << shown_(there ? path : final) << '\n';
  return true;
}

std::unique_ptr<VolumeSync> DryRunFileSystem::watchVolume(const std::string&) {
  return std::make_unique<NoSync>();
}

}  // namespace kavo
