// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/services/file_system.h"

namespace kavo {

// The file services on a POSIX host. Copies go through copy_file_range, so
// the kernel moves the bytes (or the file system clones them) without a trip
// through user space, and a copy of 64 KiB or more starts its write-back as
// soon as it is made; volumes are made durable with one syncfs each; a
// directory is claimed with flock. Copies may run on several threads at
// once. Long copies stop between chunks when the program is interrupted
// (see interruption.h).
class PosixFileSystem final : public FileSystem {
 public:
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
};

}  // namespace kavo
