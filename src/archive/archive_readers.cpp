// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "archive/archive_readers.h"

#include <archive.h>
#include <archive_entry.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <utility>

#include "archive/entry_name.h"
#include "platform/services/interruption.h"
#include "text/utf8.h"

namespace kavo {

namespace {

// The characters 0x80 to 0xFF stand for in CP437, the character set of a
// zip's names unless the zip marks them as UTF-8.
constexpr char16_t kCp437[] =
    u"ÇüéâäàåçêëèïîìÄÅÉæÆôöòûùÿÖÜ¢£¥₧ƒáíóúñÑªº¿⌐¬½¼¡«»░▒▓│┤╡╢╖╕╣║╗╝╜╛┐"
    u"└┴┬├─┼╞╟╚╔╩╦╠═╬╧╨╤╥╙╘╒╓╫╪┘┌█▄▌▐▀αßΓπΣσµτΦΘΩδ∞φε∩≡±≥≤⌠⌡÷≈°∙·√ⁿ²■\u00A0";
static_assert(std::size(kCp437) == 128 + 1);

// A name in UTF-8 from bytes that are UTF-8 or else in an 8-bit character
// set: CP437 (`high` gives its characters 0x80 to 0xFF), or Latin-1 (no
// `high`). Many tools write UTF-8 where their format says otherwise, and a
// name in another character set is almost never valid UTF-8.
std::string textOf(std::string_view bytes, const char16_t* high = nullptr) {
  if (utf8::decode(bytes)) return std::string(bytes);
  std::string text;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    utf8::append(text, byte < 0x80 || !high ? char32_t{byte} : char32_t{high[byte - 0x80]});
  }
  return text;
}

}  // namespace

RunTimeError archiveError(const std::string& path, const std::string& reason) {
  return RunTimeError(ErrorNumber::PathFileAccessError, path, reason);
}

RunTimeError damagedArchive(const std::string& path, const std::string& why) {
  return archiveError(path, "Cannot be unpacked: " + why);
}

// libarchive's callbacks, which read the reader's open file.
struct ArchiveCallbacks {
  static la_ssize_t read(archive*, void* self, const void** bytes) {
    auto& reader = *static_cast<ArchiveReader*>(self);
    try {
      throwIfInterrupted();
      const std::size_t got =
          reader.file_.readAt(reader.position_, reader.buffer_.get(), kArchivePiece);
      reader.position_ += got;
      *bytes = reader.buffer_.get();
      return static_cast<la_ssize_t>(got);
    } catch (...) {
      reader.failure_ = std::current_exception();
      return -1;
    }
  }

  static la_int64_t seek(archive*, void* self, la_int64_t offset, int whence) {
    auto& reader = *static_cast<ArchiveReader*>(self);
    const la_int64_t base = whence == SEEK_SET   ? 0
                            : whence == SEEK_CUR ? static_cast<la_int64_t>(reader.position_)
                                                 : static_cast<la_int64_t>(reader.size_);
    if (base + offset < 0) return ARCHIVE_FATAL;
    reader.position_ = static_cast<std::uint64_t>(base + offset);
    return static_cast<la_int64_t>(reader.position_);
  }

  static la_int64_t skip(archive*, void* self, la_int64_t request) {
    auto& reader = *static_cast<ArchiveReader*>(self);
    const auto left =
        static_cast<la_int64_t>(reader.size_ - std::min(reader.position_, reader.size_));
    const la_int64_t skipped = std::min(request, left);
    reader.position_ += static_cast<std::uint64_t>(skipped);
    return skipped;
  }
};

ArchiveReader::ArchiveReader(ReadableFile& file, const std::string& path, ArchiveFormat format)
    : path_(path), file_(file), archive_(archive_read_new()), size_(file.status().size) {
  if (!archive_) throw damagedArchive(path, "out of memory");
  switch (format) {
    case ArchiveFormat::Zip:
      // The central directory gives every member's sizes, also those a
      // streamed zip gives only after the data.
      archive_read_support_format_zip_seekable(archive_);
      break;
    case ArchiveFormat::SevenZip:
      archive_read_support_format_7zip(archive_);
      break;
    case ArchiveFormat::Gzip:
      break;  // read by GzipReader
  }
  archive_read_set_read_callback(archive_, &ArchiveCallbacks::read);
  archive_read_set_seek_callback(archive_, &ArchiveCallbacks::seek);
  archive_read_set_skip_callback(archive_, &ArchiveCallbacks::skip);
  archive_read_set_callback_data(archive_, this);
  try {
    check(archive_read_open1(archive_));
  } catch (...) {
    archive_read_free(archive_);
    throw;
  }
}

ArchiveReader::~ArchiveReader() { archive_read_free(archive_); }

archive_entry* ArchiveReader::next() {
  archive_entry* entry = nullptr;
  const int result = archive_read_next_header(archive_, &entry);
  if (result == ARCHIVE_EOF) return nullptr;
  check(result);
  return entry;
}

bool ArchiveReader::block(const char*& bytes, std::size_t& size, std::uint64_t& offset) {
  const void* at = nullptr;
  la_int64_t where = 0;
  const int result = archive_read_data_block(archive_, &at, &size, &where);
  if (result == ARCHIVE_EOF) return false;
  check(result);
  if (where < 0) check(ARCHIVE_FATAL);
  bytes = static_cast<const char*>(at);
  offset = static_cast<std::uint64_t>(where);
  return true;
}

void ArchiveReader::check(int result) {
  if (failure_) std::rethrow_exception(failure_);
  if (result == ARCHIVE_OK) return;
  const char* why = archive_error_string(archive_);
  throw damagedArchive(path_, why ? why : "the archive is damaged");
}

std::string entryName(archive_entry* entry) {
  if (std::optional<std::string> name = hostEntryName(entry)) return std::move(*name);
  if (const char* name = archive_entry_pathname_utf8(entry)) return name;
  const char* stored = archive_entry_pathname(entry);
  return stored ? textOf(stored, kCp437) : std::string();
}

GzipReader::GzipReader(ReadableFile& file, const std::string& path) : path_(path), file_(file) {
  if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK) throw damagedArchive(path, "out of memory");
  // The first member's header only: zlib forgets it once reset.
  header_.name = reinterpret_cast<Bytef*>(name_);
  header_.name_max = sizeof name_ - 1;  // the last byte stays 0
  inflateGetHeader(&stream_, &header_);
}

GzipReader::~GzipReader() { inflateEnd(&stream_); }

bool GzipReader::next(const char*& bytes, std::size_t& size) {
  while (!ended_) {
    if (stream_.avail_in == 0 && !fill()) throw damagedArchive(path_, "it is cut short");
    stream_.next_out = reinterpret_cast<Bytef*>(out_.get());
    stream_.avail_out = kArchivePiece;
    const int result = inflate(&stream_, Z_NO_FLUSH);
    bytes = out_.get();
    size = kArchivePiece - stream_.avail_out;
    if (result == Z_STREAM_END)
      endOfMember();
    else if (result != Z_OK && !(result == Z_BUF_ERROR && stream_.avail_in == 0))
      throw damagedArchive(path_, reasonOf(result));
    if (size > 0) return true;
  }
  return false;
}

std::optional<std::string> GzipReader::name() const {
  if (header_.done != 1 || header_.name == Z_NULL) return std::nullopt;
  const std::string_view name(name_);
  if (name.size() >= header_.name_max)
    throw archiveError(path_, "Holds a file whose name is too long");
  return textOf(name);
}

std::optional<std::string> GzipReader::headerName() {
  // Z_BLOCK makes zlib stop once the header is read, before the first
  // block; it needs no room for output to get there.
  while (header_.done == 0) {
    if (stream_.avail_in == 0 && !fill()) throw damagedArchive(path_, "it is cut short");
    stream_.next_out = reinterpret_cast<Bytef*>(out_.get());
    stream_.avail_out = 0;
    const int result = inflate(&stream_, Z_BLOCK);
    // Without progress on bytes it has, zlib would be asked the same again.
    if (result != Z_OK && !(result == Z_BUF_ERROR && stream_.avail_in == 0))
      throw damagedArchive(path_, reasonOf(result));
  }
  return name();
}

bool GzipReader::fill() {
  throwIfInterrupted();
  if (stream_.avail_in > 0) std::memmove(in_.get(), stream_.next_in, stream_.avail_in);
  const std::size_t got =
      file_.readAt(position_, in_.get() + stream_.avail_in, kArchivePiece - stream_.avail_in);
  position_ += got;
  stream_.next_in = reinterpret_cast<Bytef*>(in_.get());
  stream_.avail_in += static_cast<uInt>(got);
  return got > 0;
}

void GzipReader::endOfMember() {
  while (stream_.avail_in < 2 && fill()) {
  }
  if (stream_.avail_in >= 2 && stream_.next_in[0] == 0x1F && stream_.next_in[1] == 0x8B) {
    inflateReset(&stream_);
    return;
  }
  do {
    if (std::any_of(stream_.next_in, stream_.next_in + stream_.avail_in,
                    [](Bytef byte) { return byte != 0; }))
      throw damagedArchive(path_, "bytes that are not gzip data follow its end");
    stream_.avail_in = 0;
  } while (fill());
  ended_ = true;
}

std::string GzipReader::reasonOf(int result) const {
  if (result == Z_MEM_ERROR) return "out of memory";
  const std::string_view why = stream_.msg ? stream_.msg : "";
  if (why == "incorrect data check") return "its CRC-32 does not match its data";
  if (why == "incorrect length check") return "its length does not match its data";
  return why.empty() ? "it is damaged" : std::string(why);
}

}  // namespace kavo
