// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/services/file_system.h"
#include "platform/services/paths.h"

namespace kavo {

// What a file-system call does, as a wrapper sees it pass.
enum class FileCall {
  Look,           // volume, status, listDirectory, openForReading (cached)
  ReadBack,       // openForReading from the medium, and its reads (seen by
                  // wrappers of the file)
  Lock,           // lockDirectory
  Open,           // createNew, openDirectory
  Print,          // WritableFile::print (seen by wrappers of the file)
  Close,          // WritableFile::close (likewise)
  MakeDirectory,  // makeDirectory
  Copy,           // copyInto
  Rename,         // rename
  Remove,         // removeFile, removeDirectory
  Sync,           // watchVolume, VolumeSync::sync, syncDirectory
};

// Passes every call to another file system, each through one place first,
// passing(), as LevelDB's fault-injection environment does. A wrapper that
// watches or fails calls (a recording double, fault injection) overrides
// passing() alone, and wraps the files it hands out where it must see their
// calls too.
class ForwardingFileSystem : public FileSystem {
 public:
  explicit ForwardingFileSystem(FileSystem& target) : target_(target) {}

  VolumeFacts volume(const std::string& directory) override {
    passing(FileCall::Look, directory);
    return target_.volume(directory);
  }
  FileStatus status(const std::string& path, Look look = Look::Entry) override {
    passing(FileCall::Look, path);
    return target_.status(path, look);
  }
  std::vector<DirectoryEntry> listDirectory(const std::string& path,
                                            Listing listing = Listing::Statuses) override {
    passing(FileCall::Look, path);
    return target_.listDirectory(path, listing);
  }
  std::unique_ptr<ReadableFile> openForReading(const std::string& path,
                                               Reading reading = Reading::Cached) override {
    passing(reading == Reading::Cached ? FileCall::Look : FileCall::ReadBack, path);
    return target_.openForReading(path, reading);
  }
  std::unique_ptr<DirectoryLock> lockDirectory(const std::string& directory) override {
    passing(FileCall::Lock, directory);
    return target_.lockDirectory(directory);
  }
  std::unique_ptr<WritableFile> createNew(const std::string& path) override {
    passing(FileCall::Open, path);
    return target_.createNew(path);
  }
  void makeDirectory(const std::string& path) override {
    passing(FileCall::MakeDirectory, path);
    target_.makeDirectory(path);
  }
  std::unique_ptr<OpenDirectory> openDirectory(const std::string& path) override {
    passing(FileCall::Open, path);
    return target_.openDirectory(path);
  }
  FileStatus copyInto(const std::string& from, const OpenDirectory& into, const std::string& name,
                      const Seen& seen = {}) override {
    passing(FileCall::Copy, paths::join(into.path(), name), from);
    return target_.copyInto(from, into, name, seen);
  }
  void rename(const std::string& from, const std::string& to) override {
    passing(FileCall::Rename, to, from);
    target_.rename(from, to);
  }
  bool removeFile(const std::string& path) override {
    passing(FileCall::Remove, path);
    return target_.removeFile(path);
  }
  void removeDirectory(const std::string& path) override {
    passing(FileCall::Remove, path);
    target_.removeDirectory(path);
  }
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override {
    passing(FileCall::Sync, directory);
    return target_.watchVolume(directory);
  }
  void syncDirectory(const std::string& directory) override {
    passing(FileCall::Sync, directory);
    target_.syncDirectory(directory);
  }

 protected:
  // Called before each call is passed on, with the path it works on (a
  // copy's or a rename's new path) and, for a copy or a rename, the path it
  // comes from. Throwing here fails the call before it does anything. Calls
  // may come from several threads at once.
  virtual void passing(FileCall /*call*/, const std::string& /*path*/,
                       const std::string& /*from*/ = {}) {}

  FileSystem& target_;
};

}  // namespace kavo
