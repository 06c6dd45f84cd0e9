// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>

#include "platform/services/host_file_system.h"
#include "support/temp_directory.h"
#include "support/test_files.h"

namespace kavo::testing {

// A test's files on the disk, in a fresh temporary directory, reached
// through the host's file system. Windows makes no FIFOs, and under Wine no
// symbolic links and no permissions that hold: there makeLink, makeFifo and
// denyAccess throw, and posixSemantics() and deniesAccess() say so.
class DiskFiles final : public TestFiles {
 public:
  FileSystem& files() override { return *files_; }
  const Folder& root() const override { return root_; }
  void writeFile(const std::string& path, std::string_view bytes) override;
  void appendTo(const std::string& path, std::string_view bytes) override;
  std::string readFile(const std::string& path) override;
  void makeDirectories(const std::string& path) override;
  void removeAll(const std::string& path) override;
  void move(const std::string& from, const std::string& to) override;
  void makeLink(const std::string& target, const std::string& at) override;
  void makeHardLink(const std::string& existing, const std::string& at) override;
  void makeFifo(const std::string& path) override;
  void setModified(const std::string& path, std::int64_t seconds,
                   std::uint32_t nanoseconds) override;
  void denyAccess(const std::string& path) override;
  std::map<std::string, std::string> snapshot(const std::string& root) override;
  bool onDisk() const override { return true; }
  bool superuser() const override;
  bool posixSemantics() const override;
  bool deniesAccess() const override;
  std::uint32_t timeGrain() const override;

 private:
  // Throws, naming the step and the path, unless it was done.
  static void require(bool done, const std::string& what, const std::string& path);

  TempDirectory directory_;
  Folder root_{directory_.path()};
  std::unique_ptr<FileSystem> files_ = hostFileSystem();
};

}  // namespace kavo::testing
