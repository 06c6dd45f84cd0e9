// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/services/win32_file_system.h"
#include "support/temp_directory.h"
#include "support/test_files.h"

namespace kavo::testing {

// A test's files on a Windows disk, in a fresh temporary directory,
// reached through the Win32 file system. Windows makes no FIFOs, and under
// Wine no symbolic links and no permissions that hold: makeLink, makeFifo
// and denyAccess throw, and posixSemantics() and deniesAccess() say so.
class Win32DiskFiles final : public TestFiles {
 public:
  FileSystem& files() override { return files_; }
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
  bool posixSemantics() const override { return false; }
  bool deniesAccess() const override { return false; }
  std::uint32_t timeGrain() const override { return 100; }

 private:
  TempDirectory directory_;
  Folder root_{directory_.path()};
  Win32FileSystem files_;
};

}  // namespace kavo::testing
