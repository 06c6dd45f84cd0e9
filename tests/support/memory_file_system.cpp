// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/memory_file_system.h"

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <stdexcept>
#include <unordered_map>

#include "platform/services/interruption.h"
#include "platform/services/paths.h"

namespace kavo::testing {

namespace {

[[noreturn]] void fail(HostError error, const std::string& path, Role role = Role::File) {
  throw hostError(error, path, role);
}

std::vector<std::string> namesIn(const std::string& path) {
  std::vector<std::string> names(1);
  for (const char c : path) {
    if (!paths::isSeparator(c))
      names.back() += c;
    else if (!names.back().empty())
      names.emplace_back();
  }
  if (names.back().empty()) names.pop_back();
  return names;
}

// Whether a fault aimed at `name` (a part of a path when it holds a
// separator, else of a file name) hits the file at `path`.
bool aimedAt(const std::string& name, const std::string& path) {
  if (name.empty()) return false;
  const bool wholePath =
      std::any_of(name.begin(), name.end(), [](char c) { return paths::isSeparator(c); });
  return (wholePath ? std::string_view(path) : paths::leaf(path)).find(name) != std::string::npos;
}

// Copies are made in pieces, with a look for an interruption, and another
// thread's turn, between two.
constexpr std::size_t kCopyPiece = 256 * 1024;

}  // namespace

struct MemoryFileSystem::Time {
  std::int64_t seconds = 0;
  std::uint32_t nanoseconds = 0;
  bool operator==(const Time&) const = default;
};

struct MemoryFileSystem::Node {
  FileType type = FileType::Regular;
  Volume* volume = nullptr;
  std::uint64_t inode = 0;
  std::uint64_t links = 0;  // entries naming it (and, for a directory, its own and its children's)
  Time modified, changed;
  bool denied = false;  // its permissions taken away
  // A file: its bytes as the page cache holds them, whether reads find them
  // there, whether they have yet to be flushed, and where the medium holds
  // its blocks, as of the last flush.
  std::string data;
  bool cached = true;
  bool unflushed = false;
  std::vector<std::uint64_t> places;
  std::uint64_t flushedSize = 0;
  std::uint64_t charged = 0;  // blocks it takes from its volume
  int opens = 0;              // to be read
  // A directory.
  std::map<std::string, NodePtr> entries;
  std::weak_ptr<Node> parent;
  bool removed = false;
  bool locked = false;
  // A symbolic link.
  std::string target;
};

struct MemoryFileSystem::Volume {
  VolumeFacts facts;
  Drive drive;
  std::uint64_t device = 0;
  std::uint64_t used = 0;       // blocks its files take
  std::uint64_t nextPlace = 0;  // where the medium puts the next block written
  std::unordered_map<std::uint64_t, std::string> medium = {};  // blocks, by where they lie
  std::vector<NodePtr> unflushed = {};
  std::map<std::string, std::uint64_t> looked = {};  // identities by path, without stable ones

  std::uint64_t blockSize() const { return facts.blockSize ? facts.blockSize : 4096; }
  // Where the drive really puts a block it is told to put at `place`.
  std::uint64_t where(std::uint64_t place) const {
    const std::uint64_t kept = drive.stores / blockSize();
    return kept ? place % kept : place;
  }
};

struct MemoryFileSystem::Found {
  NodePtr directory = nullptr;  // that holds the last name
  std::string name = {};
  NodePtr node = nullptr;                         // what stands there; null when nothing does
  std::optional<HostError> error = std::nullopt;  // why the path could not be followed
};

class MemoryFileSystem::Reader final : public ReadableFile {
 public:
  Reader(MemoryFileSystem& files, NodePtr file, std::string path, Reading reading,
         const FileStatus& status)
      : ReadableFile(status),
        files_(files),
        file_(std::move(file)),
        path_(std::move(path)),
        reading_(reading) {}

  std::size_t read(char* buffer, std::size_t size) override {
    const std::size_t got = readAt(position_, buffer, size);
    position_ += got;
    return got;
  }

  std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    std::lock_guard lock(files_.mutex_);
    const std::string bytes = files_.bytesOf(*file_, offset, size, reading_, path_);
    std::copy(bytes.begin(), bytes.end(), buffer);
    return bytes.size();
  }

 private:
  MemoryFileSystem& files_;
  NodePtr file_;
  std::string path_;
  Reading reading_;
  std::uint64_t position_ = 0;
};

class MemoryFileSystem::Writer final : public WritableFile {
 public:
  Writer(MemoryFileSystem& files, NodePtr file, std::string path)
      : files_(files), file_(std::move(file)), path_(std::move(path)) {}

  void print(std::string_view bytes) override {
    std::lock_guard lock(files_.mutex_);
    files_.write(file_, bytes, path_);
  }

  void setModified(std::int64_t seconds, std::uint32_t nanoseconds) override {
    std::lock_guard lock(files_.mutex_);
    file_->modified = {seconds, nanoseconds};
    file_->changed = files_.now();
  }

  // What was written stays in the page cache until the volume is flushed.
  void close() override {}

 private:
  MemoryFileSystem& files_;
  NodePtr file_;
  std::string path_;
};

class MemoryFileSystem::Sync final : public VolumeSync {
 public:
  Sync(MemoryFileSystem& files, Volume& volume, std::string directory)
      : files_(files), volume_(volume), directory_(std::move(directory)) {}

  void sync() override {
    std::lock_guard lock(files_.mutex_);
    if (volume_.drive.failSync) fail(HostError::IoError, directory_, Role::Directory);
    for (const NodePtr& file : volume_.unflushed)
      if (file->unflushed && file->links > 0) files_.flush(*file);
    volume_.unflushed.clear();
  }

 private:
  MemoryFileSystem& files_;
  Volume& volume_;
  std::string directory_;
};

class MemoryFileSystem::Opened final : public OpenDirectory {
 public:
  Opened(std::string path, NodePtr directory)
      : OpenDirectory(std::move(path)), directory(std::move(directory)) {}
  const NodePtr directory;
};

class MemoryFileSystem::Lock final : public DirectoryLock {
 public:
  Lock(MemoryFileSystem& files, NodePtr directory)
      : files_(files), directory_(std::move(directory)) {}
  ~Lock() override {
    std::lock_guard lock(files_.mutex_);
    directory_->locked = false;
  }

 private:
  MemoryFileSystem& files_;
  NodePtr directory_;
};

// On Windows a drive's path, written with "/" as the tests write theirs
// (paths keep the separator they are written with).
MemoryFileSystem::MemoryFileSystem() : root_(paths::kHost.driveLetters ? "C:/memory" : "/memory") {
  volumes_.push_back(std::make_unique<Volume>(Volume{plentyOfSpace(), {}, 1}));
  top_ = newNode(FileType::Directory, *volumes_.front());
  makeDirectories(root_.path());
}

MemoryFileSystem::~MemoryFileSystem() = default;

VolumeFacts MemoryFileSystem::plentyOfSpace() {
  return VolumeFacts{true, 4096, std::uint64_t{1} << 40, 255, VolumeFormat::Other};
}

// --- The tree.

MemoryFileSystem::Time MemoryFileSystem::now() const {
  using namespace std::chrono;
  const std::int64_t real =
      duration_cast<nanoseconds>(system_clock::now().time_since_epoch()).count();
  lastTime_ = std::max(real, lastTime_ + 1);
  return {lastTime_ / 1'000'000'000, static_cast<std::uint32_t>(lastTime_ % 1'000'000'000)};
}

void MemoryFileSystem::touch(Node& node) { node.modified = node.changed = now(); }

MemoryFileSystem::NodePtr MemoryFileSystem::newNode(FileType type, Volume& volume) {
  auto node = std::make_shared<Node>();
  node->type = type;
  node->volume = &volume;
  node->inode = ++inodes_;
  node->links = type == FileType::Directory ? 2 : 0;
  touch(*node);
  return node;
}

void MemoryFileSystem::add(const NodePtr& directory, const std::string& name, const NodePtr& node) {
  directory->entries[name] = node;
  if (node->type == FileType::Directory) {
    node->parent = directory;
    ++directory->links;
  } else {
    ++node->links;
  }
  node->changed = now();
  touch(*directory);
}

void MemoryFileSystem::unlink(const NodePtr& directory, const std::string& name) {
  const NodePtr node = directory->entries.at(name);
  directory->entries.erase(name);
  touch(*directory);
  node->changed = now();
  if (node->type == FileType::Directory) {
    --directory->links;
    node->removed = true;
    while (!node->entries.empty()) unlink(node, node->entries.begin()->first);
    return;
  }
  if (--node->links > 0 || node->type != FileType::Regular) return;
  Volume& volume = *node->volume;
  volume.used -= node->charged;
  node->charged = 0;
  if (volume.drive.stores == 0)  // an honest drive frees its blocks
    for (const std::uint64_t place : node->places) volume.medium.erase(volume.where(place));
}

auto MemoryFileSystem::walk(const NodePtr& from, const std::string& path, bool followLast,
                            int hops) const -> Found {
  if (hops > 40) return {.error = HostError::TooManyLinks};
  NodePtr at = paths::isAbsolute(path) ? top_ : from;
  const std::vector<std::string> names = namesIn(path);
  if (names.empty()) return {at->parent.lock() ? at->parent.lock() : at, ".", at};
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    const bool last = i + 1 == names.size();
    if (at->type != FileType::Directory) return {.error = HostError::NotADirectory};
    if (at->denied) return {.error = HostError::AccessDenied};
    if (name.size() > at->volume->facts.nameLimit) return {.error = HostError::NameTooLong};
    NodePtr next;
    if (name == ".")
      next = at;
    else if (name == "..")
      next = at->parent.lock() ? at->parent.lock() : at;
    else if (const auto entry = at->entries.find(name); entry != at->entries.end())
      next = entry->second;
    if (next && next->type == FileType::SymbolicLink && (followLast || !last)) {
      Found target = walk(at, next->target, true, hops + 1);
      if (last || target.error) return target;
      next = target.node;
    }
    if (last) return {at, name, next};
    if (!next) return {.error = HostError::NotFound};
    at = next;
  }
  return {};
}

auto MemoryFileSystem::walk(const std::string& path, bool followLast) const -> Found {
  if (paths::tooLong(path)) return {.error = HostError::NameTooLong};
  return walk(top_, path, followLast);
}

MemoryFileSystem::NodePtr MemoryFileSystem::openedDirectory(const std::string& path) const {
  const Found found = walk(path, true);
  if (found.error) fail(*found.error, path, Role::Directory);
  if (!found.node) fail(HostError::NotFound, path, Role::Directory);
  if (found.node->type != FileType::Directory)
    fail(HostError::NotADirectory, path, Role::Directory);
  if (found.node->denied) fail(HostError::AccessDenied, path, Role::Directory);
  return found.node;
}

std::optional<HostError> MemoryFileSystem::mayAdd(const Node& directory,
                                                  const std::string& name) const {
  if (directory.removed) return HostError::NotFound;
  if (directory.denied) return HostError::AccessDenied;
  if (name.size() > directory.volume->facts.nameLimit) return HostError::NameTooLong;
  return std::nullopt;
}

FileStatus MemoryFileSystem::statusOf(const Node& node, const std::string& path) const {
  FileStatus status;
  status.type = node.type;
  status.size = node.type == FileType::SymbolicLink ? node.target.size() : node.data.size();
  status.device = node.volume->device;
  status.inode = node.inode;
  status.links = node.links;
  status.modifiedSeconds = node.modified.seconds;
  status.modifiedNanoseconds = node.modified.nanoseconds;
  const Time changed = node.volume->drive.unstableIdentity ? node.modified : node.changed;
  status.changedSeconds = changed.seconds;
  status.changedNanoseconds = changed.nanoseconds;
  if (node.volume->drive.unstableIdentity) {
    auto& looked = node.volume->looked;
    status.inode = looked.emplace(path, looked.size() + 1).first->second;
  }
  return status;
}

// --- The page cache and the medium.

void MemoryFileSystem::store(const NodePtr& file, std::string bytes) {
  file->data = std::move(bytes);
  settle(file);
}

void MemoryFileSystem::settle(const NodePtr& file) {
  Volume& volume = *file->volume;
  const std::uint64_t blocks = (file->data.size() + volume.blockSize() - 1) / volume.blockSize();
  volume.used = volume.used - file->charged + blocks;
  file->charged = blocks;
  file->cached = true;
  if (!file->unflushed) volume.unflushed.push_back(file);
  file->unflushed = true;
  touch(*file);
}

void MemoryFileSystem::write(const NodePtr& file, std::string_view bytes, const std::string& path) {
  const Volume& volume = *file->volume;
  if (aimedAt(volume.drive.failWritesTo, path)) fail(HostError::IoError, path);
  std::size_t fits = bytes.size();
  if (volume.facts.spaceKnown) {
    const std::uint64_t capacity = volume.facts.available / volume.blockSize();
    const std::uint64_t blocks = file->charged + capacity - std::min(capacity, volume.used);
    fits = std::min<std::uint64_t>(fits, blocks * volume.blockSize() - file->data.size());
  }
  file->data.append(bytes.substr(0, fits));
  settle(file);
  if (fits < bytes.size()) fail(HostError::NoSpace, path);
}

void MemoryFileSystem::flush(Node& file) {
  Volume& volume = *file.volume;
  const std::uint64_t size = volume.blockSize();
  const std::uint64_t blocks = (file.data.size() + size - 1) / size;
  while (file.places.size() < blocks) file.places.push_back(volume.nextPlace++);
  file.places.resize(blocks);
  const bool dropsLast =
      volume.drive.dropLastBlockFrom > 0 && file.data.size() >= volume.drive.dropLastBlockFrom;
  for (std::uint64_t block = 0; block < blocks; ++block) {
    if (dropsLast && block + 1 == blocks) continue;
    volume.medium[volume.where(file.places[block])] = file.data.substr(block * size, size);
  }
  file.flushedSize = file.data.size();
  file.unflushed = false;
}

std::string MemoryFileSystem::mediumBytes(const Node& file, std::uint64_t from,
                                          std::uint64_t to) const {
  const Volume& volume = *file.volume;
  const std::uint64_t size = volume.blockSize();
  std::string bytes;
  for (std::uint64_t at = from; at < to;) {
    const std::uint64_t block = at / size, start = at % size;
    const std::uint64_t length = std::min(size - start, to - at);
    std::string stored;
    if (block < file.places.size())
      if (const auto found = volume.medium.find(volume.where(file.places[block]));
          found != volume.medium.end())
        stored = found->second;
    stored.resize(size, '\0');
    bytes.append(stored, start, length);
    at += length;
  }
  return bytes;
}

std::string MemoryFileSystem::bytesOf(const Node& file, std::uint64_t offset, std::size_t size,
                                      Reading reading, const std::string& path) const {
  const std::uint64_t end = std::min<std::uint64_t>(file.data.size(), offset + size);
  if (offset >= end) return {};
  // Pages yet to be flushed cannot be dropped: the medium is not asked.
  if (file.unflushed || (reading == Reading::Cached && file.cached))
    return file.data.substr(offset, end - offset);
  std::string bytes = mediumBytes(file, offset, end);
  const Drive& drive = file.volume->drive;
  if (file.opens > drive.rightOpens && aimedAt(drive.lieAbout, path)) bytes[0] ^= 0x5A;
  if (drive.shortReads > 0 && bytes.size() > drive.shortReads) bytes.resize(drive.shortReads);
  return bytes;
}

// --- Volumes.

void MemoryFileSystem::mount(const std::string& directory, VolumeFacts facts, Drive drive) {
  makeDirectories(directory);
  std::lock_guard lock(mutex_);
  const NodePtr top = walk(top_, directory, true).node;
  if (!top->entries.empty()) throw std::logic_error("mount on a folder that holds files");
  volumes_.push_back(std::make_unique<Volume>(
      Volume{facts, std::move(drive), static_cast<std::uint64_t>(volumes_.size()) + 1}));
  top->volume = volumes_.back().get();
}

void MemoryFileSystem::replug(const std::string& directory) {
  std::lock_guard lock(mutex_);
  Volume& volume = *walk(top_, directory, true).node->volume;
  const std::function<void(Node&)> forget = [&](Node& node) {
    for (const auto& [name, entry] : node.entries) forget(*entry);
    if (node.volume != &volume || node.type != FileType::Regular) return;
    node.data = mediumBytes(node, 0, node.flushedSize);
    node.cached = node.unflushed = false;
  };
  forget(*top_);
  volume.unflushed.clear();
  volume.looked.clear();
}

// --- FileSystem.

VolumeFacts MemoryFileSystem::volume(const std::string& directory) {
  std::lock_guard lock(mutex_);
  const Found found = walk(directory, true);
  if (found.error) fail(*found.error, directory, Role::Directory);
  if (!found.node) fail(HostError::NotFound, directory, Role::Directory);
  const Volume& volume = *found.node->volume;
  VolumeFacts facts = volume.facts;
  facts.stableIdentity = !volume.drive.unstableIdentity;
  const std::uint64_t used = volume.used * volume.blockSize();
  if (facts.spaceKnown) facts.available = facts.available - std::min(facts.available, used);
  return facts;
}

FileStatus MemoryFileSystem::status(const std::string& path, Look look) {
  std::lock_guard lock(mutex_);
  const Found found = walk(path, look != Look::Entry);
  if (found.error == HostError::NotFound || (!found.error && !found.node)) return {};
  if (found.error) fail(*found.error, path, Role::Directory);
  FileStatus status = statusOf(*found.node, path);
  if (look == Look::Access && found.node->denied) {
    const bool directory = found.node->type == FileType::Directory;
    status.accessDenied = std::make_shared<const RunTimeError>(
        hostError(HostError::AccessDenied, path, directory ? Role::Directory : Role::File));
  }
  return status;
}

std::vector<DirectoryEntry> MemoryFileSystem::listDirectory(const std::string& path,
                                                            Listing listing) {
  std::lock_guard lock(mutex_);
  const NodePtr directory = openedDirectory(path);
  std::vector<DirectoryEntry> entries;
  for (const auto& [name, node] : directory->entries) {
    if (listing == Listing::Statuses) {
      entries.push_back({name, statusOf(*node, paths::join(path, name))});
      continue;
    }
    FileStatus status;
    status.type = node->type;
    if (node->type == FileType::SymbolicLink) {
      const Found target = walk(directory, node->target, true, 1);
      status.type = target.node && !target.error ? target.node->type : FileType::Missing;
    }
    entries.push_back({name, status});
  }
  return entries;
}

std::unique_ptr<ReadableFile> MemoryFileSystem::openForReading(const std::string& path,
                                                               Reading reading) {
  std::lock_guard lock(mutex_);
  const Found found = walk(path, true);
  if (found.error) fail(*found.error, path);
  if (!found.node) fail(HostError::NotFound, path);
  // Looked at first from the cache, opened first from the medium.
  const bool regular = found.node->type == FileType::Regular;
  if (reading == Reading::Cached && !regular) throw notRegularFileError(path);
  if (found.node->denied) fail(HostError::AccessDenied, path);
  if (!regular) throw notRegularFileError(path);
  ++found.node->opens;
  return std::make_unique<Reader>(*this, found.node, path, reading, statusOf(*found.node, path));
}

std::unique_ptr<DirectoryLock> MemoryFileSystem::lockDirectory(const std::string& directory) {
  std::lock_guard lock(mutex_);
  const NodePtr node = openedDirectory(directory);
  if (node->locked)
    throw RunTimeError(ErrorNumber::PathFileAccessError, directory,
                       "Another export is writing to this folder");
  node->locked = true;
  return std::make_unique<Lock>(*this, node);
}

std::unique_ptr<WritableFile> MemoryFileSystem::createNew(const std::string& path) {
  std::lock_guard lock(mutex_);
  const Found found = walk(path, false);
  if (found.error) fail(*found.error, path, Role::Directory);
  if (found.node) fail(HostError::Exists, path);
  if (const auto error = mayAdd(*found.directory, found.name)) fail(*error, path, Role::Directory);
  const NodePtr file = newNode(FileType::Regular, *found.directory->volume);
  add(found.directory, found.name, file);
  return std::make_unique<Writer>(*this, file, path);
}

void MemoryFileSystem::makeDirectory(const std::string& path) {
  std::lock_guard lock(mutex_);
  const Found found = walk(path, false);
  if (found.error) fail(*found.error, path, Role::Directory);
  if (found.node) fail(HostError::Exists, path, Role::Directory);
  if (const auto error = mayAdd(*found.directory, found.name)) fail(*error, path, Role::Directory);
  add(found.directory, found.name, newNode(FileType::Directory, *found.directory->volume));
}

std::unique_ptr<OpenDirectory> MemoryFileSystem::openDirectory(const std::string& path) {
  std::lock_guard lock(mutex_);
  return std::make_unique<Opened>(path, openedDirectory(path));
}

FileStatus MemoryFileSystem::copyInto(const std::string& from, const OpenDirectory& into,
                                      const std::string& name, const Seen& seen) {
  const std::string to = paths::join(into.path(), name);
  NodePtr source, copy;
  std::uint64_t size = 0;
  Time modified, changed;
  FileStatus opened;
  {
    std::lock_guard lock(mutex_);
    const Found found = walk(from, true);
    if (found.error) fail(*found.error, from);
    if (!found.node) fail(HostError::NotFound, from);
    if (found.node->denied) fail(HostError::AccessDenied, from);
    if (found.node->type != FileType::Regular) throw notRegularFileError(from);
    source = found.node;
    opened = statusOf(*source, from);
    ++source->opens;
    // A directory that another file system opened is found by its path.
    const auto* opened = dynamic_cast<const Opened*>(&into);
    const Found place = opened ? Found{opened->directory, name, nullptr} : walk(to, false);
    if (place.error) fail(*place.error, to);
    if (place.node || place.directory->entries.contains(name)) fail(HostError::Exists, to);
    if (const auto error = mayAdd(*place.directory, name)) fail(*error, to);
    copy = newNode(FileType::Regular, *place.directory->volume);
    add(place.directory, name, copy);
    size = source->data.size();
    modified = source->modified;
    changed = source->changed;
  }
  for (std::uint64_t at = 0; at < size;) {
    std::string piece;
    {
      std::lock_guard lock(mutex_);
      piece = bytesOf(*source, at, std::min<std::uint64_t>(kCopyPiece, size - at), Reading::Cached,
                      from);
      if (piece.empty()) break;  // cut short: the check below says so
      write(copy, piece, to);
    }
    if (seen) seen(piece.data(), piece.size());
    at += piece.size();
    throwIfInterrupted();
  }
  std::lock_guard lock(mutex_);
  if (source->data.size() != size || source->modified != modified || source->changed != changed)
    throw RunTimeError(ErrorNumber::PathFileAccessError, from, "Changed while it was copied");
  copy->modified = modified;
  copy->changed = now();
  return opened;
}

void MemoryFileSystem::rename(const std::string& from, const std::string& to) {
  std::lock_guard lock(mutex_);
  const Found source = walk(from, false), target = walk(to, false);
  if (source.error) fail(*source.error, to);
  if (!source.node) fail(HostError::NotFound, to);
  if (target.error) fail(*target.error, to);
  if (source.node == target.node) return;  // names of one file: nothing to do
  if (source.directory->volume != target.directory->volume) fail(HostError::CrossDevice, to);
  if (source.directory->denied) fail(HostError::AccessDenied, to);
  if (const auto error = mayAdd(*target.directory, target.name)) fail(*error, to);
  const NodePtr node = source.node;
  if (node->type == FileType::Directory) {
    if (target.node && target.node->type != FileType::Directory) fail(HostError::NotADirectory, to);
    if (target.node && !target.node->entries.empty()) fail(HostError::NotEmpty, to);
    for (NodePtr above = target.directory; above; above = above->parent.lock())
      if (above == node) fail(HostError::InvalidArgument, to);
  } else if (target.node && target.node->type == FileType::Directory) {
    fail(HostError::IsADirectory, to);
  }
  if (target.node) unlink(target.directory, target.name);
  source.directory->entries.erase(source.name);
  touch(*source.directory);
  if (node->type == FileType::Directory) {
    --source.directory->links;
  } else {
    --node->links;
  }
  add(target.directory, target.name, node);
  if (node->type == FileType::Directory && node->volume->drive.losesRenamedFolders)
    while (!node->entries.empty()) unlink(node, node->entries.begin()->first);
}

bool MemoryFileSystem::removeFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  const Found found = walk(path, false);
  if (found.error == HostError::NotFound || (!found.error && !found.node)) return false;
  if (found.error) fail(*found.error, path);
  if (found.node->type == FileType::Directory) fail(HostError::IsADirectory, path);
  if (found.directory->denied) fail(HostError::AccessDenied, path);
  unlink(found.directory, found.name);
  return true;
}

void MemoryFileSystem::removeDirectory(const std::string& path) {
  std::lock_guard lock(mutex_);
  const Found found = walk(path, false);
  if (found.error) fail(*found.error, path, Role::Directory);
  if (!found.node) fail(HostError::NotFound, path, Role::Directory);
  if (found.node->type != FileType::Directory)
    fail(HostError::NotADirectory, path, Role::Directory);
  if (!found.node->entries.empty()) fail(HostError::NotEmpty, path, Role::Directory);
  if (found.directory->denied) fail(HostError::AccessDenied, path, Role::Directory);
  unlink(found.directory, found.name);
}

std::unique_ptr<VolumeSync> MemoryFileSystem::watchVolume(const std::string& directory) {
  std::lock_guard lock(mutex_);
  return std::make_unique<Sync>(*this, *openedDirectory(directory)->volume, directory);
}

// The entries are kept apart from the medium, and durable as soon as made.
void MemoryFileSystem::syncDirectory(const std::string& directory) {
  std::lock_guard lock(mutex_);
  if (openedDirectory(directory)->volume->drive.failSync)
    fail(HostError::IoError, directory, Role::Directory);
}

// --- TestFiles: as a user's tools would, on the medium at once.

auto MemoryFileSystem::place(const std::string& path, bool followLast) const -> Found {
  Found found = walk(top_, path, followLast);
  if (found.error || !found.directory) throw std::runtime_error("no folder for " + path);
  return found;
}

MemoryFileSystem::NodePtr MemoryFileSystem::existing(const std::string& path,
                                                     bool followLast) const {
  const Found found = place(path, followLast);
  if (!found.node) throw std::runtime_error("nothing at " + path);
  return found.node;
}

void MemoryFileSystem::writeFile(const std::string& path, std::string_view bytes) {
  std::lock_guard lock(mutex_);
  const Found found = place(path, true);
  NodePtr file = found.node;
  if (!file) {
    file = newNode(FileType::Regular, *found.directory->volume);
    add(found.directory, found.name, file);
  }
  if (file->type != FileType::Regular) throw std::runtime_error("not a file: " + path);
  store(file, std::string(bytes));
  flush(*file);
}

void MemoryFileSystem::appendTo(const std::string& path, std::string_view bytes) {
  std::lock_guard lock(mutex_);
  const NodePtr file = existing(path, true);
  file->data += bytes;
  settle(file);
}

std::string MemoryFileSystem::readFile(const std::string& path) {
  std::lock_guard lock(mutex_);
  const NodePtr file = existing(path, true);
  if (file->type != FileType::Regular) throw std::runtime_error("not a file: " + path);
  std::string bytes;
  while (bytes.size() < file->data.size()) {
    const std::string piece =
        bytesOf(*file, bytes.size(), file->data.size(), Reading::Cached, path);
    if (piece.empty()) break;
    bytes += piece;
  }
  return bytes;
}

void MemoryFileSystem::makeDirectories(const std::string& path) {
  std::lock_guard lock(mutex_);
  NodePtr at = top_;
  for (const std::string& name : namesIn(path)) {
    const Found found = walk(at, name, true);
    if (found.error) throw std::runtime_error("cannot make " + path);
    if (!found.node) add(at, name, newNode(FileType::Directory, *at->volume));
    at = walk(at, name, true).node;
  }
}

void MemoryFileSystem::removeAll(const std::string& path) {
  std::lock_guard lock(mutex_);
  const Found found = walk(top_, path, false);
  if (found.node) unlink(found.directory, found.name);
}

void MemoryFileSystem::makeLink(const std::string& target, const std::string& at) {
  std::lock_guard lock(mutex_);
  const Found found = place(at, false);
  if (found.node) throw std::runtime_error("already there: " + at);
  const NodePtr link = newNode(FileType::SymbolicLink, *found.directory->volume);
  link->target = target;
  add(found.directory, found.name, link);
}

void MemoryFileSystem::makeHardLink(const std::string& existingPath, const std::string& at) {
  std::lock_guard lock(mutex_);
  const NodePtr file = existing(existingPath, false);
  const Found found = place(at, false);
  if (found.node) throw std::runtime_error("already there: " + at);
  add(found.directory, found.name, file);
}

void MemoryFileSystem::makeFifo(const std::string& path) {
  std::lock_guard lock(mutex_);
  const Found found = place(path, false);
  if (found.node) throw std::runtime_error("already there: " + path);
  add(found.directory, found.name, newNode(FileType::Other, *found.directory->volume));
}

void MemoryFileSystem::setModified(const std::string& path, std::int64_t seconds,
                                   std::uint32_t nanoseconds) {
  std::lock_guard lock(mutex_);
  const NodePtr node = existing(path, true);
  node->modified = {seconds, nanoseconds};
  node->changed = now();
}

void MemoryFileSystem::denyAccess(const std::string& path) {
  std::lock_guard lock(mutex_);
  existing(path, true)->denied = true;
}

std::map<std::string, std::string> MemoryFileSystem::snapshot(const std::string& root) {
  std::lock_guard lock(mutex_);
  std::map<std::string, std::string> tree;
  const std::function<void(const Node&, const std::string&)> take = [&](const Node& directory,
                                                                        const std::string& under) {
    for (const auto& [name, node] : directory.entries) {
      const std::string path = under + name;
      switch (node->type) {
        case FileType::Regular:
          tree[path] = bytesOf(*node, 0, node->data.size(), Reading::Cached, path);
          break;
        case FileType::Directory:
          tree[path] = "<dir>";
          take(*node, path + "/");
          break;
        case FileType::SymbolicLink:
          tree[path] = "-> " + node->target;
          break;
        default:
          tree[path] = "<special>";
      }
    }
  };
  take(*existing(root, true), "");
  return tree;
}

}  // namespace kavo::testing
