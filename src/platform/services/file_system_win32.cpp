// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The file services on Windows (see win32_file_system.h).

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <iterator>
#include <map>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>
#include <vector>

#include "platform/services/host_file_system.h"
#include "platform/services/interruption.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"
#include "platform/services/thread_buffer.h"
#include "platform/services/win32_file_system.h"
#include "platform/services/win32_host.h"

namespace kavo {

namespace {

[[noreturn]] void fail(DWORD code, const std::string& path, PathRole role = PathRole::File) {
  throw errorFromWin32(code, path, role);
}

[[noreturn]] void failNow(const std::string& path, PathRole role = PathRole::File) {
  fail(::GetLastError(), path, role);
}

// Owns a handle; closes it quietly unless closed explicitly.
class Handle {
 public:
  explicit Handle(HANDLE handle = INVALID_HANDLE_VALUE) : handle_(handle) {}
  Handle(Handle&& other) noexcept : handle_(other.release()) {}
  Handle& operator=(Handle&& other) noexcept {
    if (this != &other) {
      if (valid()) ::CloseHandle(handle_);
      handle_ = other.release();
    }
    return *this;
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  ~Handle() {
    if (valid()) ::CloseHandle(handle_);
  }
  HANDLE get() const { return handle_; }
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE release() { return std::exchange(handle_, INVALID_HANDLE_VALUE); }
  void close(const std::string& path) {
    if (!::CloseHandle(release())) failNow(path);
  }

 private:
  HANDLE handle_;
};

constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

HANDLE openHandle(const std::wstring& path, DWORD access, DWORD flags, DWORD share = kShareAll) {
  return ::CreateFileW(path.c_str(), access, share, nullptr, OPEN_EXISTING,
                       flags | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// --- Times: FILETIME counts 100 ns from 1601, the program seconds from 1970.

constexpr std::int64_t kTicksTo1970 = 116444736000000000;
constexpr std::int64_t kTicksPerSecond = 10'000'000;

void fromTicks(std::int64_t ticks, std::int64_t& seconds, std::uint32_t& nanoseconds) {
  const std::int64_t since1970 = ticks - kTicksTo1970;
  seconds = since1970 / kTicksPerSecond;
  std::int64_t rest = since1970 % kTicksPerSecond;
  if (rest < 0) {
    rest += kTicksPerSecond;
    --seconds;
  }
  nanoseconds = static_cast<std::uint32_t>(rest * 100);
}

std::int64_t ticksOf(const FILETIME& time) {
  return static_cast<std::int64_t>((std::uint64_t{time.dwHighDateTime} << 32) | time.dwLowDateTime);
}

FILETIME fileTime(std::int64_t seconds, std::uint32_t nanoseconds) {
  const auto ticks =
      static_cast<std::uint64_t>(seconds * kTicksPerSecond + nanoseconds / 100 + kTicksTo1970);
  return {static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
}

// --- Looking at files.

// What a handle's file is, all of it from the handle.
struct HandleFacts {
  BY_HANDLE_FILE_INFORMATION info{};
  FILE_BASIC_INFO basic{};
};

bool factsOf(HANDLE handle, HandleFacts& facts) {
  return ::GetFileInformationByHandle(handle, &facts.info) &&
         ::GetFileInformationByHandleEx(handle, FileBasicInfo, &facts.basic, sizeof facts.basic);
}

HandleFacts factsOf(HANDLE handle, const std::string& path) {
  HandleFacts facts;
  if (!factsOf(handle, facts)) failNow(path);
  return facts;
}

bool isDirectory(const HandleFacts& facts) {
  return facts.info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY;
}

FileStatus statusOf(const HandleFacts& facts, FileType type) {
  FileStatus status;
  status.type = type;
  status.size = (std::uint64_t{facts.info.nFileSizeHigh} << 32) | facts.info.nFileSizeLow;
  status.device = facts.info.dwVolumeSerialNumber;
  status.inode = (std::uint64_t{facts.info.nFileIndexHigh} << 32) | facts.info.nFileIndexLow;
  status.links = facts.info.nNumberOfLinks;
  fromTicks(ticksOf(facts.info.ftLastWriteTime), status.modifiedSeconds,
            status.modifiedNanoseconds);
  // FAT keeps no change time; its last write is the nearest thing.
  const std::int64_t changed = facts.basic.ChangeTime.QuadPart;
  fromTicks(changed ? changed : ticksOf(facts.info.ftLastWriteTime), status.changedSeconds,
            status.changedNanoseconds);
  return status;
}

// Regular files are on a disk; a handle to anything else (a console, a
// pipe) is not one.
FileType typeOf(HANDLE handle, const HandleFacts& facts) {
  if (isDirectory(facts)) return FileType::Directory;
  return ::GetFileType(handle) == FILE_TYPE_DISK ? FileType::Regular : FileType::Other;
}

// Whether a reparse point is a link (a symbolic link or a junction), which
// an entry shows as itself; any other kind (a cloud file, a deduplicated
// one) is the file it stands for.
bool isLink(HANDLE handle, const HandleFacts& facts) {
  if (!(facts.info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) return false;
  FILE_ATTRIBUTE_TAG_INFO tag{};
  if (!::GetFileInformationByHandleEx(handle, FileAttributeTagInfo, &tag, sizeof tag)) return false;
  return tag.ReparseTag == IO_REPARSE_TAG_SYMLINK || tag.ReparseTag == IO_REPARSE_TAG_MOUNT_POINT;
}

// Whether something on the way to `path` is a file rather than a directory
// (POSIX's ENOTDIR), which Windows reports as a missing path.
bool fileOnTheWay(std::wstring path) {
  for (std::size_t cut = path.rfind(L'\\'); cut != std::wstring::npos && cut > 4;
       cut = path.rfind(L'\\')) {
    path.resize(cut);
    const DWORD attributes = ::GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES) return !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  }
  return false;
}

// A missing name is nothing there, as POSIX's ENOENT; a file on the way is
// an error, as POSIX's ENOTDIR.
bool missing(DWORD code, const std::wstring& wide) {
  if (code == ERROR_FILE_NOT_FOUND) return true;
  return code == ERROR_PATH_NOT_FOUND && !fileOnTheWay(wide);
}

FileType typeAt(const std::wstring& path) {
  const DWORD attributes = ::GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return FileType::Missing;
  return attributes & FILE_ATTRIBUTE_DIRECTORY ? FileType::Directory : FileType::Regular;
}

// Opens a directory (links followed) and checks that it is one.
Handle openDirectoryHandle(const std::string& directory, DWORD access, DWORD share = kShareAll) {
  Handle handle(openHandle(extendedPath(directory), access, 0, share));
  if (!handle.valid()) failNow(directory, PathRole::Directory);
  if (!isDirectory(factsOf(handle.get(), directory)))
    fail(ERROR_DIRECTORY, directory, PathRole::Directory);
  return handle;
}

// Runs `attempt` until it succeeds, returning 0, or fails with a code that
// is not one of the moments another program holds the file (a virus
// scanner, an indexer, a thumbnailer), returning it. Gives up after about
// a second and a half.
template <typename Attempt>
DWORD whileHeldByAnother(Attempt attempt, bool deniedMayBeHeld = true) {
  DWORD code = 0;
  for (int tries = 0; tries < 16; ++tries) {
    if (attempt()) return 0;
    code = ::GetLastError();
    const bool held = code == ERROR_SHARING_VIOLATION || code == ERROR_LOCK_VIOLATION ||
                      (deniedMayBeHeld && code == ERROR_ACCESS_DENIED);
    if (!held) return code;
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(10 << (tries / 3), 160)));
  }
  return code;
}

// --- Flushing: what this file system wrote, flushed when asked.

}  // namespace

// The files written and not yet flushed, by the serial number of their
// volume, with the paths the caller gave (for messages); renames move them.
class WrittenFiles {
 public:
  void add(DWORD volume, std::wstring path, std::string shown) {
    std::lock_guard lock(mutex_);
    pending_[volume][std::move(path)] = std::move(shown);
  }

  void renamed(const std::wstring& from, const std::wstring& to, const std::string& shown) {
    std::lock_guard lock(mutex_);
    for (auto& [volume, files] : pending_) {
      std::map<std::wstring, std::string> moved;
      for (auto it = files.begin(); it != files.end();) {
        const bool same = it->first == from;
        if (same || (it->first.starts_with(from) && it->first[from.size()] == L'\\')) {
          moved[to + it->first.substr(from.size())] =
              same ? shown : shown + utf8FromWide(it->first.substr(from.size()));
          it = files.erase(it);
        } else {
          ++it;
        }
      }
      files.merge(moved);
    }
  }

  std::map<std::wstring, std::string> take(DWORD volume) {
    std::lock_guard lock(mutex_);
    return std::exchange(pending_[volume], {});
  }

  void putBack(DWORD volume, std::map<std::wstring, std::string> files) {
    std::lock_guard lock(mutex_);
    pending_[volume].merge(files);
  }

 private:
  std::mutex mutex_;
  std::map<DWORD, std::map<std::wstring, std::string>> pending_;
};

namespace {

std::wstring parentOf(const std::wstring& path) {
  const std::size_t cut = path.rfind(L'\\');
  return cut == std::wstring::npos ? path : path.substr(0, cut);
}

// Flushes a directory's entries where the file system allows it (NTFS
// does; FAT and others refuse, and then the files' own flushes are all).
void flushDirectory(const std::wstring& path, const std::string& shown) {
  Handle handle(openHandle(path, GENERIC_WRITE, 0));
  if (!handle.valid()) {
    const DWORD code = ::GetLastError();
    if (code == ERROR_ACCESS_DENIED) return;
    fail(code, shown, PathRole::Directory);
  }
  if (::FlushFileBuffers(handle.get())) return;
  const DWORD code = ::GetLastError();
  if (code == ERROR_INVALID_FUNCTION || code == ERROR_ACCESS_DENIED ||
      code == ERROR_INVALID_PARAMETER || code == ERROR_NOT_SUPPORTED)
    return;
  fail(code, shown, PathRole::Directory);
}

// Flushes each file, then the directories that hold them. A file removed
// since has nothing left to flush. On a failure what is left stays pending.
void flushAll(WrittenFiles& written, DWORD volume) {
  std::map<std::wstring, std::string> files = written.take(volume);
  std::map<std::wstring, std::string> directories;
  while (!files.empty()) {
    const std::wstring path = files.begin()->first;
    const std::string shown = files.begin()->second;
    Handle file;
    const DWORD code = whileHeldByAnother([&] {
      file = Handle(openHandle(path, GENERIC_WRITE, 0));
      return file.valid();
    });
    if (code == 0 && !::FlushFileBuffers(file.get())) {
      const DWORD flushed = ::GetLastError();
      written.putBack(volume, std::move(files));
      fail(flushed, shown);
    }
    if (code != 0 && !missing(code, path)) {
      written.putBack(volume, std::move(files));
      fail(code, shown);
    }
    if (code == 0) directories.emplace(parentOf(path), paths::parent(shown));
    files.erase(files.begin());
  }
  for (const auto& [path, shown] : directories) flushDirectory(path, shown);
}

DWORD volumeOf(HANDLE handle, const std::string& path) {
  return factsOf(handle, path).info.dwVolumeSerialNumber;
}

class Win32VolumeSync final : public VolumeSync {
 public:
  Win32VolumeSync(std::shared_ptr<WrittenFiles> written, DWORD volume)
      : written_(std::move(written)), volume_(volume) {}
  void sync() override { flushAll(*written_, volume_); }

 private:
  std::shared_ptr<WrittenFiles> written_;
  DWORD volume_;
};

// --- Writing.

void writeAll(HANDLE handle, const char* data, std::size_t size, const std::string& path) {
  while (size > 0) {
    DWORD written = 0;
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::WriteFile(handle, data, piece, &written, nullptr)) failNow(path);
    data += written;
    size -= written;
  }
}

// Closes a file this file system wrote, to be flushed with its volume.
void closeWritten(Handle& file, const std::wstring& wide, const std::string& path,
                  WrittenFiles& written) {
  const DWORD volume = volumeOf(file.get(), path);
  file.close(path);
  written.add(volume, wide, path);
}

class Win32WritableFile final : public WritableFile {
 public:
  Win32WritableFile(Handle file, std::wstring wide, std::string path,
                    std::shared_ptr<WrittenFiles> written)
      : file_(std::move(file)),
        wide_(std::move(wide)),
        path_(std::move(path)),
        written_(std::move(written)) {}

  void print(std::string_view bytes) override {
    writeAll(file_.get(), bytes.data(), bytes.size(), path_);
  }

  void setModified(std::int64_t seconds, std::uint32_t nanoseconds) override {
    const FILETIME when = fileTime(seconds, nanoseconds);
    if (!::SetFileTime(file_.get(), nullptr, &when, &when)) failNow(path_);
  }

  void close() override { closeWritten(file_, wide_, path_, *written_); }

 private:
  Handle file_;
  std::wstring wide_;
  std::string path_;
  std::shared_ptr<WrittenFiles> written_;
};

// --- Reading.

// Reads of the medium pass the cache by, which takes whole sectors into a
// buffer aligned to them; 4 KiB covers the sectors of every drive in use.
constexpr std::size_t kSectorAlignment = 4096;
constexpr std::size_t kDirectPiece = 1024 * 1024;

class Win32ReadableFile final : public ReadableFile {
 public:
  Win32ReadableFile(Handle file, std::string path, FileStatus status, bool direct)
      : ReadableFile(status), file_(std::move(file)), path_(std::move(path)) {
    if (direct) {
      aligned_ = static_cast<char*>(
          ::VirtualAlloc(nullptr, kDirectPiece, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
      if (!aligned_) failNow(path_);
    }
  }
  ~Win32ReadableFile() override {
    if (aligned_) ::VirtualFree(aligned_, 0, MEM_RELEASE);
  }

  std::size_t read(char* buffer, std::size_t size) override {
    const std::size_t got = readAt(position_, buffer, size);
    position_ += got;
    return got;
  }

  std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    if (!aligned_) return readRaw(offset, buffer, size);
    std::size_t copied = 0;
    while (copied < size) {
      const std::uint64_t at = offset + copied;
      const std::uint64_t start = at / kSectorAlignment * kSectorAlignment;
      const auto skip = static_cast<std::size_t>(at - start);
      const std::size_t wanted =
          std::min(kDirectPiece, (skip + size - copied + kSectorAlignment - 1) / kSectorAlignment *
                                     kSectorAlignment);
      const std::size_t got = readRaw(start, aligned_, wanted);
      if (got <= skip) break;
      const std::size_t taken = std::min(got - skip, size - copied);
      std::memcpy(buffer + copied, aligned_ + skip, taken);
      copied += taken;
      if (got < wanted) break;  // the end of the file
    }
    return copied;
  }

 private:
  // One read at `offset`, which moves no position of the file's.
  std::size_t readRaw(std::uint64_t offset, char* buffer, std::size_t size) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD got = 0;
    const DWORD piece = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    if (!::ReadFile(file_.get(), buffer, piece, &got, &at)) {
      if (::GetLastError() == ERROR_HANDLE_EOF) return 0;
      failNow(path_);
    }
    return got;
  }

  Handle file_;
  std::string path_;
  std::uint64_t position_ = 0;
  char* aligned_ = nullptr;
};

// Opens a file to read or copy it, refusing anything but a regular file;
// its facts come from the open file.
Handle openSource(const std::string& path, DWORD flags, HandleFacts& facts) {
  Handle file(openHandle(extendedPath(path), GENERIC_READ, flags));
  if (!file.valid()) failNow(path);
  facts = factsOf(file.get(), path);
  if (typeOf(file.get(), facts) != FileType::Regular) throw notRegularFileError(path);
  return file;
}

bool changedBetween(const HandleFacts& before, const HandleFacts& after) {
  return statusOf(before, FileType::Regular).size != statusOf(after, FileType::Regular).size ||
         ticksOf(before.info.ftLastWriteTime) != ticksOf(after.info.ftLastWriteTime) ||
         before.basic.ChangeTime.QuadPart != after.basic.ChangeTime.QuadPart;
}

// Copies are made in pieces of the thread's buffer; an interruption is
// seen every few of them.
constexpr std::size_t kCopyPiece = kThreadBufferSize;
constexpr std::uint64_t kCheckEvery = std::uint64_t{8} << 20;

void copyBytes(HANDLE in, HANDLE out, const std::string& from, const std::string& to,
               const FileSystem::Seen& seen) {
  char* const buffer = threadBuffer();
  std::uint64_t sinceCheck = 0;
  for (;;) {
    DWORD got = 0;
    if (!::ReadFile(in, buffer, static_cast<DWORD>(kCopyPiece), &got, nullptr)) failNow(from);
    if (got == 0) return;
    writeAll(out, buffer, got, to);
    if (seen) seen(buffer, got);
    if ((sinceCheck += got) >= kCheckEvery) {
      sinceCheck = 0;
      throwIfInterrupted();
    }
  }
}

// --- Claiming: a handle that keeps the directory where it is, and a named
// object that only the first claim makes (a second finds it there). The
// object goes with the last handle to it, a crashed program's too.

class Win32DirectoryLock final : public DirectoryLock {
 public:
  Win32DirectoryLock(Handle directory, Handle claim)
      : directory_(std::move(directory)), claim_(std::move(claim)) {}

 private:
  Handle directory_;
  Handle claim_;
};

class Win32OpenDirectory final : public OpenDirectory {
 public:
  Win32OpenDirectory(Handle handle, std::string path)
      : OpenDirectory(std::move(path)), handle_(std::move(handle)) {}

 private:
  Handle handle_;
};

// The format of a volume by its file system's name.
VolumeFormat formatNamed(const std::wstring& name) {
  if (name == L"exFAT") return VolumeFormat::ExFat;
  if (name == L"FAT" || name == L"FAT12" || name == L"FAT16" || name == L"FAT32")
    return VolumeFormat::Fat;
  return VolumeFormat::Other;
}

}  // namespace

Win32FileSystem::Win32FileSystem() : written_(std::make_shared<WrittenFiles>()) {}
Win32FileSystem::~Win32FileSystem() = default;

VolumeFacts Win32FileSystem::volume(const std::string& directory) {
  openDirectoryHandle(directory, FILE_READ_ATTRIBUTES);
  const std::wstring wide = extendedPath(directory);
  std::wstring root(wide.size() + 2, L'\0');
  if (!::GetVolumePathNameW(wide.c_str(), root.data(), static_cast<DWORD>(root.size())))
    failNow(directory, PathRole::Directory);
  root.resize(std::wcslen(root.c_str()));
  wchar_t fileSystem[MAX_PATH + 1] = {};
  DWORD serial = 0, longestName = 0, flags = 0;
  if (!::GetVolumeInformationW(root.c_str(), nullptr, 0, &serial, &longestName, &flags, fileSystem,
                               MAX_PATH + 1))
    failNow(directory, PathRole::Directory);
  VolumeFacts facts;
  ULARGE_INTEGER available{}, total{};
  if (::GetDiskFreeSpaceExW(root.c_str(), &available, &total, nullptr)) {
    facts.spaceKnown = total.QuadPart > 0;
    facts.available = available.QuadPart;
  }
  DWORD sectorsPerCluster = 0, bytesPerSector = 0, freeClusters = 0, clusters = 0;
  if (::GetDiskFreeSpaceW(root.c_str(), &sectorsPerCluster, &bytesPerSector, &freeClusters,
                          &clusters))
    facts.blockSize = std::uint64_t{sectorsPerCluster} * bytesPerSector;
  if (longestName > 0) facts.nameLimit = longestName;
  facts.format = formatNamed(fileSystem);
  // NTFS keeps a file's number for its life and a change time that every
  // change moves; FAT numbers a file by where its entry lies, and ReFS's
  // numbers do not fit in 64 bits.
  facts.stableIdentity = std::wstring(fileSystem) == L"NTFS";
  return facts;
}

FileStatus Win32FileSystem::status(const std::string& path, Look look) {
  const std::wstring wide = extendedPath(path);
  Handle handle(openHandle(wide, FILE_READ_ATTRIBUTES,
                           look == Look::Entry ? FILE_FLAG_OPEN_REPARSE_POINT : 0));
  if (!handle.valid()) {
    const DWORD code = ::GetLastError();
    if (missing(code, wide)) return {};
    fail(code, path, PathRole::Directory);
  }
  const HandleFacts facts = factsOf(handle.get(), path);
  FileStatus result = statusOf(
      facts, isLink(handle.get(), facts) ? FileType::SymbolicLink : typeOf(handle.get(), facts));
  if (result.type == FileType::SymbolicLink) result.size = 0;
  if (look != Look::Access) return result;
  // A file is to be read; a directory is to have entries made in it, on a
  // volume that takes writes.
  const bool directory = result.type == FileType::Directory;
  Handle use(openHandle(wide, directory ? FILE_ADD_FILE | FILE_ADD_SUBDIRECTORY : GENERIC_READ, 0));
  DWORD denied = use.valid() ? 0 : ::GetLastError();
  DWORD flags = 0;
  if (!denied && directory &&
      ::GetVolumeInformationByHandleW(use.get(), nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                      0) &&
      (flags & FILE_READ_ONLY_VOLUME))
    denied = ERROR_WRITE_PROTECT;
  if (denied)
    result.accessDenied = std::make_shared<const RunTimeError>(
        errorFromWin32(denied, path, directory ? PathRole::Directory : PathRole::File));
  return result;
}

std::vector<DirectoryEntry> Win32FileSystem::listDirectory(const std::string& path,
                                                           Listing listing) {
  std::wstring pattern = extendedPath(path);
  pattern += pattern.ends_with(L'\\') ? L"*" : L"\\*";
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found, FindExSearchNameMatch,
                                   nullptr, FIND_FIRST_EX_LARGE_FETCH);
  std::vector<DirectoryEntry> entries;
  if (find == INVALID_HANDLE_VALUE) {
    const DWORD code = ::GetLastError();
    // A drive's root holds no "." or "..": empty, it lists nothing at all.
    const FileType type = status(path, Look::Target).type;
    if (code == ERROR_FILE_NOT_FOUND && type == FileType::Directory) return entries;
    if (type != FileType::Missing && type != FileType::Directory)
      fail(ERROR_DIRECTORY, path, PathRole::Directory);
    fail(code == ERROR_FILE_NOT_FOUND ? ERROR_PATH_NOT_FOUND : code, path, PathRole::Directory);
  }
  std::unique_ptr<void, BOOL (*)(HANDLE)> closing(find, ::FindClose);
  do {
    const std::string name = utf8FromWide(found.cFileName);
    if (name == "." || name == "..") continue;
    const std::string full = paths::join(path, name);
    FileStatus entry;
    if (listing == Listing::Statuses) {
      entry = status(full);
      if (entry.type == FileType::Missing) fail(ERROR_FILE_NOT_FOUND, full);
    } else if (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      entry.type = status(full, Look::Target).type;
    } else {
      entry.type = found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY ? FileType::Directory
                                                                     : FileType::Regular;
    }
    entries.push_back({name, entry});
  } while (::FindNextFileW(find, &found));
  if (const DWORD code = ::GetLastError(); code != ERROR_NO_MORE_FILES)
    fail(code, path, PathRole::Directory);
  std::sort(entries.begin(), entries.end(),
            [](const DirectoryEntry& a, const DirectoryEntry& b) { return a.name < b.name; });
  return entries;
}

std::unique_ptr<ReadableFile> Win32FileSystem::openForReading(const std::string& path,
                                                              Reading reading) {
  // Look before opening: opening a device can have effects of its own.
  // What is read back from the medium is what this program wrote there.
  if (reading == Reading::Cached) {
    const FileStatus target = status(path, Look::Target);
    if (target.type == FileType::Missing) fail(ERROR_FILE_NOT_FOUND, path);
    if (target.type != FileType::Regular) throw notRegularFileError(path);
  }
  const bool direct = reading == Reading::FromMedium;
  HandleFacts facts;
  Handle file =
      openSource(path, direct ? FILE_FLAG_NO_BUFFERING : FILE_FLAG_SEQUENTIAL_SCAN, facts);
  return std::make_unique<Win32ReadableFile>(std::move(file), path,
                                             statusOf(facts, FileType::Regular), direct);
}

std::unique_ptr<DirectoryLock> Win32FileSystem::lockDirectory(const std::string& directory) {
  // Listing access makes the sharing count: nobody may now open the
  // directory to delete or rename it.
  Handle handle = openDirectoryHandle(directory, FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE);
  const HandleFacts facts = factsOf(handle.get(), directory);
  wchar_t name[96];
  std::swprintf(name, std::size(name), L"Global\\SimpleKAVO-export-%08lx-%08lx%08lx",
                facts.info.dwVolumeSerialNumber, facts.info.nFileIndexHigh,
                facts.info.nFileIndexLow);
  ::SetLastError(0);
  Handle claim(::CreateEventW(nullptr, TRUE, FALSE, name));
  const DWORD code = ::GetLastError();
  // Made by another claim, or by another user's (whose object this user
  // may not open).
  if (code == ERROR_ALREADY_EXISTS || code == ERROR_ACCESS_DENIED)
    throw RunTimeError(ErrorNumber::PathFileAccessError, directory, kAnotherExport);
  if (!claim.valid()) fail(code, directory, PathRole::Directory);
  return std::make_unique<Win32DirectoryLock>(std::move(handle), std::move(claim));
}

std::unique_ptr<WritableFile> Win32FileSystem::createNew(const std::string& path) {
  std::wstring wide = extendedPath(path);
  Handle file(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) {
    // A missing name here is a missing directory on the way to the file.
    const DWORD code = ::GetLastError();
    const bool exists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
    fail(code, path, exists ? PathRole::File : PathRole::Directory);
  }
  return std::make_unique<Win32WritableFile>(std::move(file), std::move(wide), path, written_);
}

void Win32FileSystem::makeDirectory(const std::string& path) {
  if (!::CreateDirectoryW(extendedPath(path).c_str(), nullptr)) failNow(path, PathRole::Directory);
}

std::unique_ptr<OpenDirectory> Win32FileSystem::openDirectory(const std::string& path) {
  return std::make_unique<Win32OpenDirectory>(openDirectoryHandle(path, FILE_READ_ATTRIBUTES),
                                              path);
}

FileStatus Win32FileSystem::copyInto(const std::string& from, const OpenDirectory& into,
                                     const std::string& name, const Seen& seen) {
  const std::string to = paths::join(into.path(), name);
  HandleFacts before;
  Handle in = openSource(from, FILE_FLAG_SEQUENTIAL_SCAN, before);
  const std::wstring wide = extendedPath(to);
  Handle out(::CreateFileW(wide.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
  if (!out.valid()) failNow(to);
  copyBytes(in.get(), out.get(), from, to, seen);
  // A source cut short, grown or rewritten while it was read leaves a copy
  // that is neither its old bytes nor its new ones.
  if (changedBetween(before, factsOf(in.get(), from)))
    throw RunTimeError(ErrorNumber::PathFileAccessError, from, "Changed while it was copied");
  // The copy keeps its source's times, so that a later refresh can tell an
  // unchanged copy by its size and time alone.
  if (!::SetFileTime(out.get(), nullptr, &before.info.ftLastAccessTime,
                     &before.info.ftLastWriteTime))
    failNow(to);
  closeWritten(out, wide, to, *written_);
  return statusOf(before, FileType::Regular);
}

namespace {

// Whether a directory holds anything.
bool holdsAnything(const std::wstring& directory) {
  WIN32_FIND_DATAW found{};
  HANDLE find = ::FindFirstFileW((directory + L"\\*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return false;
  bool holds = false;
  do {
    holds = holds || (std::wcscmp(found.cFileName, L".") && std::wcscmp(found.cFileName, L".."));
  } while (!holds && ::FindNextFileW(find, &found));
  ::FindClose(find);
  return holds;
}

// Why a rename may not be made, as a POSIX host refuses it (0 when it may):
// a file does not replace a directory, nor a directory a file. Windows
// replaces no directory at all, even an empty one. A name of the same file
// (another case of its letters) is no replacement.
DWORD renameRefusal(const std::wstring& from, const std::wstring& to) {
  const FileType source = typeAt(from), target = typeAt(to);
  if (source == FileType::Missing || target == FileType::Missing ||
      ::_wcsicmp(from.c_str(), to.c_str()) == 0)
    return 0;
  if (source != FileType::Directory)
    return target == FileType::Directory ? kErrorDirectoryNotSupported : 0;
  if (target != FileType::Directory) return ERROR_DIRECTORY;
  return holdsAnything(to) ? ERROR_DIR_NOT_EMPTY : ERROR_ALREADY_EXISTS;
}

}  // namespace

void Win32FileSystem::rename(const std::string& from, const std::string& to) {
  const std::wstring source = extendedPath(from), target = extendedPath(to);
  if (const DWORD refusal = renameRefusal(source, target)) fail(refusal, to);
  const DWORD code = whileHeldByAnother([&] {
    return ::MoveFileExW(source.c_str(), target.c_str(),
                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
  });
  if (code != 0) fail(code, to);
  written_->renamed(source, target, to);
}

bool Win32FileSystem::removeFile(const std::string& path) {
  const std::wstring wide = extendedPath(path);
  DWORD code = whileHeldByAnother([&] {
    if (::DeleteFileW(wide.c_str())) return true;
    // A directory is no moment of another program's.
    if (::GetLastError() == ERROR_ACCESS_DENIED && typeAt(wide) == FileType::Directory)
      ::SetLastError(kErrorDirectoryNotSupported);
    return false;
  });
  if (code == 0) return true;
  if (missing(code, wide)) return false;
  fail(code == ERROR_PATH_NOT_FOUND ? ERROR_DIRECTORY : code, path);
}

void Win32FileSystem::removeDirectory(const std::string& path) {
  const std::wstring wide = extendedPath(path);
  // A file just removed that another program still holds open keeps its
  // name until that program lets go (on FAT always): the directory is not
  // empty for that moment.
  DWORD code = 0;
  for (int tries = 0; tries < 3; ++tries) {
    code = whileHeldByAnother([&] { return ::RemoveDirectoryW(wide.c_str()) != 0; });
    if (code != ERROR_DIR_NOT_EMPTY) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  if (code != 0) fail(code, path, PathRole::Directory);
}

std::unique_ptr<VolumeSync> Win32FileSystem::watchVolume(const std::string& directory) {
  const Handle handle = openDirectoryHandle(directory, FILE_READ_ATTRIBUTES);
  return std::make_unique<Win32VolumeSync>(written_, volumeOf(handle.get(), directory));
}

void Win32FileSystem::syncDirectory(const std::string& directory) {
  openDirectoryHandle(directory, FILE_READ_ATTRIBUTES);
  flushDirectory(extendedPath(directory), directory);
}

std::unique_ptr<FileSystem> hostFileSystem() { return std::make_unique<Win32FileSystem>(); }

}  // namespace kavo
