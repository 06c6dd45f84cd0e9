// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/services/file_system.h"
#include "support/host_errors.h"
#include "support/test_files.h"

namespace kavo::testing {

// How a volume's drive treats what reaches it: one fault a field, all off
// for an honest drive. A test picks one when it mounts a volume, as
//   files.mount(usb, {true, 4096, 64 << 20}, Drive{.stores = 6 << 20});
// for a stick that claims 64 MiB and stores 6, and the drive shows what it
// did when a file is read with Reading::FromMedium after a sync, or after
// replug(). (ExportFixture::memory() is the fixture's memory file system.)
//
//   stores               claims the volume's space and keeps only this many
//                        bytes: blocks are laid out one after another, each
//                        at (place mod stores), so later files overwrite
//                        earlier ones (a counterfeit stick)
//   lieAbout             a file whose name contains it (whose path, when it
//   rightOpens           holds a separator) reads from the medium with a
//                        byte changed, once opened more than rightOpens times
//                        to be read from it (a failing card)
//   shortReads           each read from the medium gives at most so many
//                        bytes (a reader must ask again)
//   failSync             sync() and syncDirectory() fail with an I/O error,
//                        and nothing reaches the medium
//   failWritesTo         writes to a file whose name contains it fail with
//                        an I/O error
//   dropLastBlockFrom    a file of this size or more loses its last block on
//                        the way to the medium: it reads back as zeros
//   losesRenamedFolders  a renamed folder arrives empty, its files lost (as
//                        the FUSE FAT driver fusefat does)
//   unstableIdentity     inode numbers are handed out in the order paths are
//                        looked up, and the change time is reported as the
//                        modification time (fusefat, holding the sources)
struct Drive {
  std::uint64_t stores = 0;  // 0: all it claims
  std::string lieAbout = {};
  int rightOpens = 0;
  std::size_t shortReads = 0;
  bool failSync = false;
  std::string failWritesTo = {};
  std::uint64_t dropLastBlockFrom = 0;
  bool losesRenamedFolders = false;
  bool unstableIdentity = false;
};

// A FileSystem held in memory, with the semantics of PosixFileSystem (the
// conformance tests in tests/platform/services hold both to them): the same
// run-time errors in the same situations, links, hard links, locks, times
// and identities, and copies on several threads at once.
//
// Like a real host it keeps a page cache apart from the medium: what is
// written stays in the cache, which reads answer, until VolumeSync::sync()
// flushes the volume's files to its drive; a read with Reading::FromMedium
// then gets what the drive returns (a file not yet flushed is read from the
// cache: its pages cannot be dropped). Directories are kept apart from the
// medium, as on a stick whose file table lies at its start.
//
// The whole tree is one volume until mount() makes a directory the top of
// another, with its own facts and drive.
class MemoryFileSystem final : public FileSystem, public TestFiles {
 public:
  MemoryFileSystem();
  ~MemoryFileSystem() override;

  // What a volume is unless said otherwise: its space known and plenty of
  // it, blocks of 4 KiB, names of up to 255 bytes, not FAT.
  static VolumeFacts plentyOfSpace();

  // Makes `directory` (made if missing; empty) the top of a volume of its
  // own. Its files take whole blocks of facts.blockSize from
  // facts.available, and a write beyond that fails as a full disk would
  // (when facts.spaceKnown).
  void mount(const std::string& directory, VolumeFacts facts = plentyOfSpace(), Drive drive = {});

  // What a fresh mount of the volume holding `directory` finds: what was not
  // flushed is lost, every file holds what its medium returns and is read
  // from it again, and identities handed out are forgotten.
  void replug(const std::string& directory);

  // FileSystem.
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

  // TestFiles: the tree as a user's own tools see it.
  FileSystem& files() override { return *this; }
  const Folder& root() const override { return root_; }
  void writeFile(const std::string& path, std::string_view bytes) override;
  void appendTo(const std::string& path, std::string_view bytes) override;
  std::string readFile(const std::string& path) override;
  void makeDirectories(const std::string& path) override;
  void removeAll(const std::string& path) override;
  void move(const std::string& from, const std::string& to) override { rename(from, to); }
  void makeLink(const std::string& target, const std::string& at) override;
  void makeHardLink(const std::string& existing, const std::string& at) override;
  void makeFifo(const std::string& path) override;
  void setModified(const std::string& path, std::int64_t seconds,
                   std::uint32_t nanoseconds) override;
  void denyAccess(const std::string& path) override;
  std::map<std::string, std::string> snapshot(const std::string& root) override;
  bool onDisk() const override { return false; }

 private:
  struct Time;
  struct Node;
  struct Volume;
  struct Found;
  class Reader;
  class Writer;
  class Sync;
  class Opened;
  class Lock;
  using NodePtr = std::shared_ptr<Node>;

  Time now() const;        // later than any time before, that no two changes share
  void touch(Node& node);  // its bytes or its entries changed now
  NodePtr newNode(FileType type, Volume& volume);
  void add(const NodePtr& directory, const std::string& name, const NodePtr& node);
  void unlink(const NodePtr& directory, const std::string& name);

  // Follows `path` from `from` (from the top when it is a full one), as the
  // host does: links followed on the way, and at its end when asked.
  Found walk(const NodePtr& from, const std::string& path, bool followLast, int hops = 0) const;
  // The same from the top, for a path given to the file system.
  Found walk(const std::string& path, bool followLast) const;
  // The directory at `path`, as opening it finds it, or the error.
  NodePtr openedDirectory(const std::string& path) const;
  // Why a new entry `name` cannot be made in `directory`, if it cannot.
  std::optional<HostError> mayAdd(const Node& directory, const std::string& name) const;
  FileStatus statusOf(const Node& node, const std::string& path) const;

  // The page cache and the medium.
  void store(const NodePtr& file, std::string bytes);  // in the cache, to be flushed
  void settle(const NodePtr& file);  // its bytes changed in the cache: its space, its flush
  // Appends to a file as a write does, taking space from its volume.
  void write(const NodePtr& file, std::string_view bytes, const std::string& path);
  void flush(Node& file);
  // The bytes the medium holds for the file from `from` to `to`, as stored.
  std::string mediumBytes(const Node& file, std::uint64_t from, std::uint64_t to) const;
  // What a read of the file opened at `path` gets, as the drive returns it.
  std::string bytesOf(const Node& file, std::uint64_t offset, std::size_t size, Reading reading,
                      const std::string& path) const;

  // For the helpers: where `path` leads, which must be in a directory, and
  // what stands there, which must be something.
  Found place(const std::string& path, bool followLast) const;
  NodePtr existing(const std::string& path, bool followLast) const;

  mutable std::mutex mutex_;  // guards everything below; copies run on several threads
  std::vector<std::unique_ptr<Volume>> volumes_;
  NodePtr top_;
  Folder root_;
  std::uint64_t inodes_ = 0;
  mutable std::int64_t lastTime_ = 0;  // in nanoseconds, so that no two changes share a time
};

}  // namespace kavo::testing
