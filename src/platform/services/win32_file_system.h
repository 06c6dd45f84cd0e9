// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>

#include "platform/services/file_system.h"

namespace kavo {

class WrittenFiles;

// The file services on Windows. Paths are UTF-8 here and UTF-16 at the
// system, full ones with "\\?\" so that no limit of 260 characters applies
// ("/" and doubled separators are made single "\" first, "." and ".."
// applied as text, as Windows itself does). Copies go through a buffer on
// each copying thread. Windows has no syncfs: the files this file system
// wrote are flushed one by one (FlushFileBuffers), then their directories
// where the file system allows it. A directory is claimed with a handle
// that shares no deletion (nobody renames or removes it meanwhile) and a
// named object that only one claim of it makes. Renames replace and are
// tried again for a moment when another program (a virus scanner, an
// indexer) holds the file. Reading from the medium passes the cache by
// (FILE_FLAG_NO_BUFFERING, reads of whole sectors).
class Win32FileSystem final : public FileSystem {
 public:
  Win32FileSystem();
  ~Win32FileSystem() override;

  VolumeFacts volume(const std::string& directory) override;
  FileStatus status(const std::string& path, Look look = Look::Entry) override;
  std::vector<DirectoryEntry> listDirectory(const std::string& path,
                                            Listing listing = Listing::Statuses) override;
  std::unique_ptr<ReadableFile> openForReading(const std::string& path,
                                               Reading reading = Reading::Cached) override;
  std::unique_ptr<DirectoryLock> lockDirectory(const std::string& directory) override;
  std::unique_ptr<WritableFile> createNew(const std::string& path) override;
  void makeDirectory(const std::string& path) override;
  std::unique_ptr<OpenDirectory> openDirectory(const std::string& path) override;
  FileStatus copyInto(const std::string& from, const OpenDirectory& into, const std::string& name,
                      const Seen& seen = {}) override;
  void rename(const std::string& from, const std::string& to) override;
  bool removeFile(const std::string& path) override;
  void removeDirectory(const std::string& path) override;
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override;
  void syncDirectory(const std::string& directory) override;

 private:
  // What this file system wrote and has not flushed yet, by volume.
  std::shared_ptr<WrittenFiles> written_;
};

}  // namespace kavo
