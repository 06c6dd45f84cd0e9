// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

#include "support/disk_files.h"

namespace kavo::testing {

std::string DiskFiles::readFile(const std::string& path) { return testing::readFile(path); }

void DiskFiles::makeDirectories(const std::string& path) { testing::makeDirectories(path); }

void DiskFiles::removeAll(const std::string& path) { std::filesystem::remove_all(path); }

void DiskFiles::move(const std::string& from, const std::string& to) {
  std::filesystem::rename(from, to);
}

void DiskFiles::makeLink(const std::string& target, const std::string& at) {
  require(::symlink(target.c_str(), at.c_str()) == 0, "link", at);
}

void DiskFiles::makeHardLink(const std::string& existing, const std::string& at) {
  require(::link(existing.c_str(), at.c_str()) == 0, "link", at);
}

void DiskFiles::makeFifo(const std::string& path) {
  require(::mkfifo(path.c_str(), 0600) == 0, "make a FIFO", path);
}

void DiskFiles::setModified(const std::string& path, std::int64_t seconds,
                            std::uint32_t nanoseconds) {
  const struct timespec when = {static_cast<time_t>(seconds), static_cast<long>(nanoseconds)};
  const struct timespec times[2] = {when, when};
  require(::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0, "set the time of", path);
}

void DiskFiles::denyAccess(const std::string& path) {
  require(::chmod(path.c_str(), 0) == 0, "change the mode of", path);
}

bool DiskFiles::superuser() const { return ::geteuid() == 0; }
bool DiskFiles::posixSemantics() const { return true; }
bool DiskFiles::deniesAccess() const { return !superuser(); }
std::uint32_t DiskFiles::timeGrain() const { return 1; }

std::map<std::string, std::string> DiskFiles::snapshot(const std::string& root) {
  return testing::snapshot(root);
}

}  // namespace kavo::testing
