// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <zlib.h>

#include <cstdint>
#include <exception>
#include <memory>
#include <optional>
#include <string>

#include "archive/archive_contents.h"
#include "platform/services/file_system.h"
#include "platform/services/run_time_error.h"
#include "platform/services/utf8_locale.h"

struct archive;
struct archive_entry;

namespace kavo {

// Archives are read a piece of this size at a time, and unpacked into one.
inline constexpr std::size_t kArchivePiece = 64 * 1024;

// The refusal of an archive, naming it.
RunTimeError archiveError(const std::string& path, const std::string& reason);

// An archive that cannot be unpacked, and why.
RunTimeError damagedArchive(const std::string& path, const std::string& why);

// A zip or a 7z being read through libarchive: it asks for the bytes
// through callbacks, which read the open file wherever it asks. Anything but
// complete success is a failure, naming the archive: libarchive reports a
// bad checksum, and a name it could not convert, as mere warnings.
class ArchiveReader {
 public:
  ArchiveReader(ReadableFile& file, const std::string& path, ArchiveFormat format);
  ~ArchiveReader();
  ArchiveReader(const ArchiveReader&) = delete;
  ArchiveReader& operator=(const ArchiveReader&) = delete;

  // The next entry, or null at the end.
  archive_entry* next();

  // The entry's next bytes, where libarchive unpacked them (no copy), and
  // where in the entry they belong; false at its end.
  bool block(const char*& bytes, std::size_t& size, std::uint64_t& offset);

 private:
  friend struct ArchiveCallbacks;  // libarchive's read, seek and skip
  void check(int result);

  // Made first and gone last: libarchive takes the character set it
  // converts names into from the thread's locale.
  Utf8ThreadLocale locale_;
  std::string path_;
  ReadableFile& file_;
  archive* archive_ = nullptr;
  std::uint64_t size_ = 0, position_ = 0;
  // Not cleared first: every read fills what it hands over.
  std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(kArchivePiece);
  std::exception_ptr failure_;
};

// An entry's name in UTF-8. libarchive converts the names whose character
// set is known (a 7z's UTF-16, a zip's marked UTF-8); a zip's other names
// come as they are stored, CP437 by the zip format's rule, or UTF-8 as many
// tools write them anyway.
std::string entryName(archive_entry* entry);

// A gzip file read through zlib, member after member: zlib checks each
// member's header, and its trailer's CRC-32 and length against what it
// unpacked. After the last member only zero bytes may follow (padding to a
// block, as some tools leave), which gzip -t accepts too; other bytes there
// may be a damaged or altered file, and are refused.
class GzipReader {
 public:
  GzipReader(ReadableFile& file, const std::string& path);
  ~GzipReader();
  GzipReader(const GzipReader&) = delete;
  GzipReader& operator=(const GzipReader&) = delete;

  // The next unpacked bytes, in the reader's buffer; false after the last
  // member.
  bool next(const char*& bytes, std::size_t& size);

  // The name of the file the first member holds, when its header gives
  // one (in Latin-1 by the format's rule, often UTF-8 in fact), once
  // next() has read past the header.
  std::optional<std::string> name() const;

  // The same, reading no further than the first member's header: nothing
  // is unpacked. Call it before next().
  std::optional<std::string> headerName();

 private:
  bool fill();
  void endOfMember();
  std::string reasonOf(int result) const;

  std::string path_;
  ReadableFile& file_;
  std::uint64_t position_ = 0;
  z_stream stream_{};
  gz_header header_{};
  char name_[1024] = {};
  bool ended_ = false;
  std::unique_ptr<char[]> in_ = std::make_unique_for_overwrite<char[]>(kArchivePiece);
  std::unique_ptr<char[]> out_ = std::make_unique_for_overwrite<char[]>(kArchivePiece);
};

}  // namespace kavo
