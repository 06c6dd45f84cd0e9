// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/archived_rom.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdio>
#include <exception>
#include <memory>

#include "platform/services/interruption.h"
#include "platform/services/run_time_error.h"
#include "text/counts.h"

namespace kavo {

namespace {

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  if (name.size() < suffix.size()) return false;
  for (std::size_t i = 0; i < suffix.size(); ++i) {
    char c = name[name.size() - suffix.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != suffix[i]) return false;
  }
  return true;
}

RunTimeError archiveError(const std::string& path, const std::string& reason) {
  return RunTimeError(ErrorNumber::PathFileAccessError, path, reason);
}

// An archive being read through the file system: libarchive asks for the
// bytes through callbacks, which read the open file wherever it asks.
class Reader {
 public:
  Reader(FileSystem& files, const std::string& path, ArchiveFormat format)
      : path_(path),
        file_(files.openForReading(path)),
        archive_(archive_read_new(), archive_read_free) {
    size_ = file_->status().size;
    switch (format) {
      case ArchiveFormat::Zip:
        // The central directory gives every member's sizes, also those a
        // streamed zip gives only after the data.
        archive_read_support_format_zip_seekable(archive_.get());
        break;
      case ArchiveFormat::SevenZip:
        archive_read_support_format_7zip(archive_.get());
        break;
      case ArchiveFormat::Gzip:
        archive_read_support_filter_gzip(archive_.get());
        archive_read_support_format_raw(archive_.get());
        break;
    }
    archive_read_set_read_callback(archive_.get(), &Reader::read);
    archive_read_set_seek_callback(archive_.get(), &Reader::seek);
    archive_read_set_skip_callback(archive_.get(), &Reader::skip);
    archive_read_set_callback_data(archive_.get(), this);
    check(archive_read_open1(archive_.get()));
  }

  // The next member that counts (a file or a link, not a directory, with a
  // name), or null at the end.
  archive_entry* next() {
    for (;;) {
      archive_entry* entry = nullptr;
      const int result = archive_read_next_header(archive_.get(), &entry);
      if (result == ARCHIVE_EOF) return nullptr;
      check(result);
      const char* name = archive_entry_pathname(entry);
      if (archive_entry_filetype(entry) != AE_IFDIR && name && *name) return entry;
    }
  }

  // The member's next bytes, where libarchive unpacked them (no copy), and
  // where in the member they belong; false at its end.
  bool block(const char*& bytes, std::size_t& size, std::uint64_t& offset) {
    const void* at = nullptr;
    la_int64_t where = 0;
    const int result = archive_read_data_block(archive_.get(), &at, &size, &where);
    if (result == ARCHIVE_EOF) return false;
    check(result);
    if (where < 0) check(ARCHIVE_FATAL);
    bytes = static_cast<const char*>(at);
    offset = static_cast<std::uint64_t>(where);
    return true;
  }

  ReadableFile& file() { return *file_; }

 private:
  // Anything but complete success is a failure: libarchive reports a bad
  // checksum as a mere warning.
  void check(int result) {
    if (failure_) std::rethrow_exception(failure_);
    if (result == ARCHIVE_OK) return;
    const char* why = archive_error_string(archive_.get());
    throw archiveError(
        path_, std::string("Cannot be unpacked: ") + (why ? why : "the archive is damaged"));
  }

  static la_ssize_t read(archive*, void* self, const void** bytes) {
    auto& reader = *static_cast<Reader*>(self);
    try {
      throwIfInterrupted();
      const std::size_t got = reader.file_->readAt(reader.position_, reader.buffer_.get(), kPiece);
      reader.position_ += got;
      *bytes = reader.buffer_.get();
      return static_cast<la_ssize_t>(got);
    } catch (...) {
      reader.failure_ = std::current_exception();
      return -1;
    }
  }

  static la_int64_t seek(archive*, void* self, la_int64_t offset, int whence) {
    auto& reader = *static_cast<Reader*>(self);
    const la_int64_t base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? static_cast<la_int64_t>(reader.position_)
                                                 : static_cast<la_int64_t>(reader.size_);
    if (base + offset < 0) return ARCHIVE_FATAL;
    reader.position_ = static_cast<std::uint64_t>(base + offset);
    return static_cast<la_int64_t>(reader.position_);
  }

  static la_int64_t skip(archive*, void* self, la_int64_t request) {
    auto& reader = *static_cast<Reader*>(self);
    const auto left =
        static_cast<la_int64_t>(reader.size_ - std::min(reader.position_, reader.size_));
    const la_int64_t skipped = std::min(request, left);
    reader.position_ += static_cast<std::uint64_t>(skipped);
    return skipped;
  }

  std::string path_;
  std::unique_ptr<ReadableFile> file_;
  std::unique_ptr<archive, int (*)(archive*)> archive_;
  std::uint64_t size_ = 0, position_ = 0;
  // Not cleared first: every read fills what it hands over.
  static constexpr std::size_t kPiece = 64 * 1024;
  std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(kPiece);
  std::exception_ptr failure_;
};

// The extension a member's name gives: from its last dot, in its last part.
std::optional<std::string> extensionOfMember(std::string_view member) {
  const std::size_t slash = member.find_last_of("/\\");
  const std::string_view base = slash == std::string_view::npos ? member : member.substr(slash + 1);
  const std::size_t dot = base.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == base.size()) return std::nullopt;
  return std::string(base.substr(dot));
}

// What a gzip file says of its unpacked size: its last four bytes, the size
// modulo 4 GiB (larger than any ROM a FAT drive can hold).
std::uint64_t gzipDeclaredSize(ReadableFile& file, const std::string& path) {
  unsigned char tail[4] = {};
  const std::uint64_t size = file.status().size;
  if (size < 18 || file.readAt(size - 4, reinterpret_cast<char*>(tail), 4) != 4)
    throw archiveError(path, "Cannot be unpacked: it is too short to be a gzip file");
  return tail[0] | tail[1] << 8 | tail[2] << 16 | static_cast<std::uint64_t>(tail[3]) << 24;
}

}  // namespace

bool mayBeArchive(std::string_view listedName) {
  return endsWithIgnoringCase(listedName, ".zip") || endsWithIgnoringCase(listedName, ".7z") ||
         endsWithIgnoringCase(listedName, ".gz");
}

std::optional<ArchiveFormat> archiveFormatOf(std::string_view firstBytes) {
  if (firstBytes.starts_with("PK\x03\x04") || firstBytes.starts_with("PK\x05\x06"))
    return ArchiveFormat::Zip;
  if (firstBytes.starts_with("7z\xBC\xAF\x27\x1C")) return ArchiveFormat::SevenZip;
  if (firstBytes.starts_with("\x1F\x8B")) return ArchiveFormat::Gzip;
  return std::nullopt;
}

ArchivedRom lookIntoArchive(FileSystem& files, const std::string& path, std::string_view listedName,
                            ArchiveFormat format) {
  Reader reader(files, path, format);
  ArchivedRom rom;
  rom.format = format;
  std::size_t count = 0;
  std::string member;
  bool regular = false, encrypted = false, sized = false;
  while (archive_entry* entry = reader.next()) {
    if (++count > 1) continue;
    member = archive_entry_pathname(entry);
    regular = archive_entry_filetype(entry) == AE_IFREG;
    encrypted = archive_entry_is_encrypted(entry);
    sized = archive_entry_size_is_set(entry);
    rom.size = static_cast<std::uint64_t>(archive_entry_size(entry));
    const bool dated = archive_entry_mtime_is_set(entry);
    rom.modifiedSeconds =
        dated ? archive_entry_mtime(entry) : reader.file().status().modifiedSeconds;
    rom.modifiedNanoseconds = static_cast<std::uint32_t>(
        dated ? archive_entry_mtime_nsec(entry) : reader.file().status().modifiedNanoseconds);
  }
  if (count != 1 || !regular)
    throw archiveError(path, "Holds " +
                                 (count == 1 ? std::string("no file but a link")
                                             : counted(count, "file", "files")) +
                                 "; an archive must hold one ROM");
  if (encrypted) throw archiveError(path, "Holds an encrypted file, which cannot be unpacked");
  const std::size_t dot = listedName.rfind('.');
  const std::string_view stem =
      dot == std::string_view::npos ? listedName : listedName.substr(0, dot);
  if (format == ArchiveFormat::Gzip) {
    // A gzip file holds one file by nature, named as the archive less ".gz".
    rom.name =
        endsWithIgnoringCase(listedName, ".gz") ? std::string(stem) : std::string(listedName);
    if (!extensionOfMember(rom.name))
      throw archiveError(path, "Holds a file whose name gives no extension");
    rom.size = gzipDeclaredSize(reader.file(), path);
    return rom;
  }
  const std::optional<std::string> extension = extensionOfMember(member);
  if (!extension) throw archiveError(path, "Holds a file whose name gives no extension");
  if (!sized) throw archiveError(path, "Does not say how large its file is");
  rom.name = std::string(stem) + *extension;
  return rom;
}

void unpackArchive(FileSystem& files, const std::string& path, const ArchivedRom& rom,
                   const std::function<void(const char*, std::size_t)>& write) {
  Reader reader(files, path, rom.format);
  if (!reader.next()) throw archiveError(path, "Holds no file any more");
  std::uint64_t total = 0, offset = 0;
  const char* bytes = nullptr;
  std::size_t got = 0;
  while (reader.block(bytes, got, offset)) {
    // A member that unpacks to more than it declares (a zip bomb) stops
    // here, having written nothing beyond what it declared.
    if (got > rom.size - total)
      throw archiveError(
          path, "Unpacks to more bytes than it declares (" + withThousands(rom.size) + ")");
    // The formats read here unpack in one run, with no holes.
    if (offset != total) throw archiveError(path, "Cannot be unpacked: the archive is damaged");
    write(bytes, got);
    total += got;
  }
  if (total != rom.size)
    throw archiveError(path, "Unpacks to " + withThousands(total) + " bytes, not the " +
                                 withThousands(rom.size) + " it declares");
}

}  // namespace kavo
