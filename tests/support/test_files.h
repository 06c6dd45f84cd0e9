// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

#include "platform/services/file_system.h"

namespace kavo::testing {

// A directory's path, with `/ name` for the path of an entry in it.
class Folder {
 public:
  explicit Folder(std::string path) : path_(std::move(path)) {}
  const std::string& path() const { return path_; }
  std::string operator/(std::string_view name) const { return path_ + "/" + std::string(name); }

 private:
  std::string path_;
};

// Where a test's files lie, and the file system that reaches them: a
// MemoryFileSystem, or the disk under a fresh temporary directory
// (disk_files.h). A test arranges and inspects its files with these helpers,
// which go around the seam's rules as a user's own tools would, and hands
// files() to the code under test.
class TestFiles {
 public:
  virtual ~TestFiles() = default;

  virtual FileSystem& files() = 0;
  // A directory that exists, to work in.
  virtual const Folder& root() const = 0;

  // Creates or replaces a file (its directory exists), links followed.
  virtual void writeFile(const std::string& path, std::string_view bytes) = 0;
  virtual void appendTo(const std::string& path, std::string_view bytes) = 0;
  virtual std::string readFile(const std::string& path) = 0;
  virtual void makeDirectories(const std::string& path) = 0;
  // Removes what stands at the path, a directory with all it holds;
  // nothing when nothing does.
  virtual void removeAll(const std::string& path) = 0;
  virtual void move(const std::string& from, const std::string& to) = 0;
  virtual void makeLink(const std::string& target, const std::string& at) = 0;  // symbolic
  virtual void makeHardLink(const std::string& existing, const std::string& at) = 0;
  virtual void makeFifo(const std::string& path) = 0;
  virtual void setModified(const std::string& path, std::int64_t seconds,
                           std::uint32_t nanoseconds) = 0;
  // Takes every permission away (chmod 0): a file cannot be read, a
  // directory neither listed nor changed. (Root may still do it all.)
  virtual void denyAccess(const std::string& path) = 0;

  // Everything under `root`, by path relative to it: a file maps to its
  // bytes, a directory to "<dir>", a symbolic link to "-> target", anything
  // else to "<special>". Two snapshots compare equal exactly when nothing
  // under root was made, removed or changed.
  virtual std::map<std::string, std::string> snapshot(const std::string& root) = 0;

  // Whether they lie on the disk, beside the host's devices.
  virtual bool onDisk() const = 0;
  // Whether this process may do anything whatever the permissions (root).
  virtual bool superuser() const { return false; }

  // What a POSIX host has and Windows has not: symbolic links and FIFOs
  // that a test can make (makeLink, makeFifo), a directory's link count of
  // 2 plus its subdirectories, devices at /dev, and the C library's words
  // for each failure ("No such file or directory"; Windows gives its own).
  virtual bool posixSemantics() const { return true; }
  // Whether denyAccess() takes effect: not for root, nor under Wine.
  virtual bool deniesAccess() const { return !superuser(); }
  // The unit, in nanoseconds, a file's times are kept in: 100 on Windows.
  virtual std::uint32_t timeGrain() const { return 1; }
};

}  // namespace kavo::testing
