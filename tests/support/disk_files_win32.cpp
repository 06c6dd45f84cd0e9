// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <windows.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "platform/services/win32_host.h"
#include "support/disk_files.h"

namespace kavo::testing {

std::string DiskFiles::readFile(const std::string& path) { return testing::readFile(path); }

void DiskFiles::makeDirectories(const std::string& path) { testing::makeDirectories(path); }

void DiskFiles::removeAll(const std::string& path) { std::filesystem::remove_all(hostPath(path)); }

void DiskFiles::move(const std::string& from, const std::string& to) {
  std::filesystem::rename(hostPath(from), hostPath(to));
}

void DiskFiles::makeLink(const std::string&, const std::string& at) {
  require(false, "make a symbolic link (Windows tests make none)", at);
}

void DiskFiles::makeHardLink(const std::string& existing, const std::string& at) {
  require(::CreateHardLinkW(extendedPath(at).c_str(), extendedPath(existing).c_str(), nullptr),
          "link", at);
}

void DiskFiles::makeFifo(const std::string& path) {
  require(false, "make a FIFO (Windows has none)", path);
}

void DiskFiles::setModified(const std::string& path, std::int64_t seconds,
                            std::uint32_t nanoseconds) {
  const HANDLE file = ::CreateFileW(extendedPath(path).c_str(), FILE_WRITE_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  require(file != INVALID_HANDLE_VALUE, "open", path);
  const auto ticks =
      static_cast<std::uint64_t>(seconds * 10'000'000 + nanoseconds / 100 + 116444736000000000);
  const FILETIME when{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
  const bool set = ::SetFileTime(file, nullptr, &when, &when);
  ::CloseHandle(file);
  require(set, "set the time of", path);
}

void DiskFiles::denyAccess(const std::string& path) {
  require(false, "deny access (Wine enforces no permissions)", path);
}

std::map<std::string, std::string> DiskFiles::snapshot(const std::string& root) {
  return testing::snapshot(root);
}

bool DiskFiles::superuser() const { return false; }
bool DiskFiles::posixSemantics() const { return false; }
bool DiskFiles::deniesAccess() const { return false; }
std::uint32_t DiskFiles::timeGrain() const { return 100; }

}  // namespace kavo::testing
