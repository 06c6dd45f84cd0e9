// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/archived_rom.h"

#include <archive.h>
#include <archive_entry.h>
#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <exception>
#include <memory>
#include <vector>

#include "export/record_name.h"
#include "platform/services/interruption.h"
#include "platform/services/run_time_error.h"
#include "platform/services/utf8_locale.h"
#include "text/counts.h"
#include "text/utf8.h"

namespace kavo {

namespace {

using Write = std::function<void(const char*, std::size_t)>;

// Archives are read a piece of this size at a time, and unpacked into one.
constexpr std::size_t kPiece = 64 * 1024;

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

bool endsWithIgnoringCase(std::string_view name, std::string_view suffix) {
  return name.size() >= suffix.size() &&
         equalIgnoringCase(name.substr(name.size() - suffix.size()), suffix);
}

RunTimeError archiveError(const std::string& path, const std::string& reason) {
  return RunTimeError(ErrorNumber::PathFileAccessError, path, reason);
}

RunTimeError damaged(const std::string& path, const std::string& why) {
  return archiveError(path, "Cannot be unpacked: " + why);
}

// The last part of a name an archive gives: after its last "/" or "\".
std::string_view lastPart(std::string_view name) {
  const std::size_t slash = name.find_last_of("/\\");
  return slash == std::string_view::npos ? name : name.substr(slash + 1);
}

// The extension a name an archive gives has: from the last dot of its last
// part, with something after it.
std::optional<std::string_view> extensionOfMember(std::string_view name) {
  const std::string_view base = lastPart(name);
  const std::size_t dot = base.rfind('.');
  if (dot == std::string_view::npos || dot + 1 == base.size()) return std::nullopt;
  return base.substr(dot);
}

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

// A name as a message shows it: a control character as "?", so that a name
// cannot move the cursor or end the line of the terminal that shows it.
std::string shown(std::string_view name) {
  std::string text(name);
  for (char& c : text)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = '?';
  return text;
}

// Names for a message: "a and b", "a, b, c, d, e and 4 more".
class NameList {
 public:
  void add(std::string_view name) {
    if (shown_.size() < kShown) shown_.push_back(shown(name));
    ++count_;
  }
  std::size_t count() const { return count_; }
  std::string text() const {
    std::string text;
    for (std::size_t i = 0; i < shown_.size(); ++i) {
      const bool last = i + 1 == shown_.size() && count_ == shown_.size();
      text += (i == 0 ? "" : last ? " and " : ", ") + shown_[i];
    }
    if (count_ > shown_.size()) text += " and " + withThousands(count_ - shown_.size()) + " more";
    return text;
  }

 private:
  static constexpr std::size_t kShown = 5;
  std::vector<std::string> shown_;
  std::size_t count_ = 0;
};

// What an operating system leaves in an archive made on it, which is no
// file of the set: a Mac's resource forks and folder settings, Windows'
// thumbnails and folder settings.
bool leftByTheSystem(std::string_view name) {
  if (name.starts_with("__MACOSX/")) return true;
  const std::string_view base = lastPart(name);
  return equalIgnoringCase(base, ".DS_Store") || equalIgnoringCase(base, "Thumbs.db") ||
         equalIgnoringCase(base, "desktop.ini");
}

// The record's name: the archive's name with its extension replaced by the
// ROM's, which it may already end with ("Game.sms.gz" holding "Game.sms").
// Refuses a ROM's name without an extension, and a record the index could
// not hold.
std::string recordNameOf(const std::string& path, std::string_view listedName,
                         std::string_view romName) {
  const std::optional<std::string_view> extension = extensionOfMember(romName);
  if (!extension) throw archiveError(path, "Holds a file whose name gives no extension");
  const std::size_t dot = listedName.rfind('.');
  std::string name(dot == std::string_view::npos ? listedName : listedName.substr(0, dot));
  if (!endsWithIgnoringCase(name, *extension)) name += *extension;
  if (const std::optional<std::string> problem = recordNameProblem(name))
    throw archiveError(path, "Holds a file whose name " + *problem);
  return name;
}

// A zip or a 7z being read through libarchive: it asks for the bytes
// through callbacks, which read the open file wherever it asks.
class Reader {
 public:
  Reader(ReadableFile& file, const std::string& path, ArchiveFormat format)
      : path_(path), file_(file), size_(file.status().size) {
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
        break;  // read by GzipReader
    }
    archive_read_set_read_callback(archive_.get(), &Reader::read);
    archive_read_set_seek_callback(archive_.get(), &Reader::seek);
    archive_read_set_skip_callback(archive_.get(), &Reader::skip);
    archive_read_set_callback_data(archive_.get(), this);
    check(archive_read_open1(archive_.get()));
  }

  // The next entry, or null at the end.
  archive_entry* next() {
    archive_entry* entry = nullptr;
    const int result = archive_read_next_header(archive_.get(), &entry);
    if (result == ARCHIVE_EOF) return nullptr;
    check(result);
    return entry;
  }

  // The entry's next bytes, where libarchive unpacked them (no copy), and
  // where in the entry they belong; false at its end.
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

 private:
  // Anything but complete success is a failure: libarchive reports a bad
  // checksum, and a name it could not convert, as mere warnings.
  void check(int result) {
    if (failure_) std::rethrow_exception(failure_);
    if (result == ARCHIVE_OK) return;
    const char* why = archive_error_string(archive_.get());
    throw damaged(path_, why ? why : "the archive is damaged");
  }

  static la_ssize_t read(archive*, void* self, const void** bytes) {
    auto& reader = *static_cast<Reader*>(self);
    try {
      throwIfInterrupted();
      const std::size_t got = reader.file_.readAt(reader.position_, reader.buffer_.get(), kPiece);
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

  // Made first and gone last: libarchive takes the character set it
  // converts names into from the thread's locale.
  Utf8ThreadLocale locale_;
  std::string path_;
  ReadableFile& file_;
  std::unique_ptr<archive, int (*)(archive*)> archive_{archive_read_new(), archive_read_free};
  std::uint64_t size_ = 0, position_ = 0;
  // Not cleared first: every read fills what it hands over.
  std::unique_ptr<char[]> buffer_ = std::make_unique_for_overwrite<char[]>(kPiece);
  std::exception_ptr failure_;
};

// An entry's name in UTF-8. libarchive converts the names whose character
// set is known (a 7z's UTF-16, a zip's marked UTF-8); a zip's other names
// come as they are stored, CP437 by the zip format's rule, or UTF-8 as many
// tools write them anyway. On Windows only the wide name is whole (see
// utf8_locale.h), a zip's unmarked name decoded from the OEM code page.
std::string entryName(archive_entry* entry) {
#ifdef _WIN32
  if (const wchar_t* name = archive_entry_pathname_w(entry)) return utf8::fromWide(name);
#endif
  if (const char* name = archive_entry_pathname_utf8(entry)) return name;
  const char* stored = archive_entry_pathname(entry);
  return stored ? textOf(stored, kCp437) : std::string();
}

// A gzip file read through zlib, member after member: zlib checks each
// member's header, and its trailer's CRC-32 and length against what it
// unpacked. After the last member only zero bytes may follow (padding to a
// block, as some tools leave), which gzip -t accepts too; other bytes there
// may be a damaged or altered file, and are refused.
class GzipReader {
 public:
  GzipReader(ReadableFile& file, const std::string& path) : path_(path), file_(file) {
    if (inflateInit2(&stream_, 16 + MAX_WBITS) != Z_OK) throw damaged(path, "out of memory");
    // The first member's header only: zlib forgets it once reset.
    header_.name = reinterpret_cast<Bytef*>(name_);
    header_.name_max = sizeof name_ - 1;  // the last byte stays 0
    inflateGetHeader(&stream_, &header_);
  }
  ~GzipReader() { inflateEnd(&stream_); }
  GzipReader(const GzipReader&) = delete;
  GzipReader& operator=(const GzipReader&) = delete;

  // The next unpacked bytes, in the reader's buffer; false after the last
  // member.
  bool next(const char*& bytes, std::size_t& size) {
    while (!ended_) {
      if (stream_.avail_in == 0 && !fill()) throw damaged(path_, "it is cut short");
      stream_.next_out = reinterpret_cast<Bytef*>(out_.get());
      stream_.avail_out = kPiece;
      const int result = inflate(&stream_, Z_NO_FLUSH);
      bytes = out_.get();
      size = kPiece - stream_.avail_out;
      if (result == Z_STREAM_END)
        endOfMember();
      else if (result != Z_OK && !(result == Z_BUF_ERROR && stream_.avail_in == 0))
        throw damaged(path_, reasonOf(result));
      if (size > 0) return true;
    }
    return false;
  }

  // The name of the file the first member holds, when its header gives
  // one (in Latin-1 by the format's rule, often UTF-8 in fact).
  std::optional<std::string> name() const {
    if (header_.done != 1 || header_.name == Z_NULL) return std::nullopt;
    const std::string_view name(name_);
    if (name.size() >= header_.name_max)
      throw archiveError(path_, "Holds a file whose name is too long");
    return textOf(name);
  }

 private:
  // Reads more of the file after what is still unread; false at its end.
  bool fill() {
    throwIfInterrupted();
    if (stream_.avail_in > 0) std::memmove(in_.get(), stream_.next_in, stream_.avail_in);
    const std::size_t got =
        file_.readAt(position_, in_.get() + stream_.avail_in, kPiece - stream_.avail_in);
    position_ += got;
    stream_.next_in = reinterpret_cast<Bytef*>(in_.get());
    stream_.avail_in += static_cast<uInt>(got);
    return got > 0;
  }

  // After a member: the next one, zeros to the end, or the end.
  void endOfMember() {
    while (stream_.avail_in < 2 && fill()) {
    }
    if (stream_.avail_in >= 2 && stream_.next_in[0] == 0x1F && stream_.next_in[1] == 0x8B) {
      inflateReset(&stream_);
      return;
    }
    do {
      if (std::any_of(stream_.next_in, stream_.next_in + stream_.avail_in,
                      [](Bytef byte) { return byte != 0; }))
        throw damaged(path_, "bytes that are not gzip data follow its end");
      stream_.avail_in = 0;
    } while (fill());
    ended_ = true;
  }

  std::string reasonOf(int result) const {
    if (result == Z_MEM_ERROR) return "out of memory";
    const std::string_view why = stream_.msg ? stream_.msg : "";
    if (why == "incorrect data check") return "its CRC-32 does not match its data";
    if (why == "incorrect length check") return "its length does not match its data";
    return why.empty() ? "it is damaged" : std::string(why);
  }

  std::string path_;
  ReadableFile& file_;
  std::uint64_t position_ = 0;
  z_stream stream_{};
  gz_header header_{};
  char name_[1024] = {};
  bool ended_ = false;
  std::unique_ptr<char[]> in_ = std::make_unique_for_overwrite<char[]>(kPiece);
  std::unique_ptr<char[]> out_ = std::make_unique_for_overwrite<char[]>(kPiece);
};

// A gzip file's one file: every member unpacked, to check each against its
// trailer and to count the bytes, as no header says how many there are (a
// trailer gives only its own member's, modulo 4 GiB).
ArchivedRom lookIntoGzip(ReadableFile& file, const std::string& path, std::string_view listedName) {
  ArchivedRom rom;
  rom.format = ArchiveFormat::Gzip;
  GzipReader gzip(file, path);
  const char* bytes = nullptr;
  std::size_t size = 0;
  while (gzip.next(bytes, size)) rom.size += size;
  // Named in its header, or, where that gives no extension (gzip -c
  // names what it read, "rom" as well as "Game.sms"), as the archive less
  // ".gz"; "Game.zip" that is a gzip file without a name in it does not
  // say what it holds.
  std::optional<std::string> name = gzip.name();
  if ((!name || !extensionOfMember(*name)) && endsWithIgnoringCase(listedName, ".gz"))
    name = std::string(listedName.substr(0, listedName.size() - 3));
  rom.name = recordNameOf(path, listedName, name.value_or(""));
  rom.modifiedSeconds = file.status().modifiedSeconds;
  rom.modifiedNanoseconds = file.status().modifiedNanoseconds;
  return rom;
}

// The refusal of an archive that holds no ROM or several.
std::string notOneRom(const NameList& files, const NameList& roms, bool filtered) {
  if (files.count() == 0) return "Holds no file; an archive must hold one ROM";
  if (roms.count() == 0)
    return (filtered ? "Holds no file that the filter matches, only " : "Holds no ROM, only ") +
           files.text() + "; an archive must hold one ROM";
  return "Holds " + counted(roms.count(), "ROM", "ROMs") + ", " + roms.text() +
         "; an archive must hold one";
}

// A zip's or a 7z's one ROM among its entries.
ArchivedRom lookIntoEntries(ReadableFile& file, const std::string& path,
                            std::string_view listedName, ArchiveFormat format,
                            const RomFilter& wanted) {
  Reader reader(file, path, format);
  ArchivedRom rom;
  rom.format = format;
  NameList files, roms;
  std::string romName;
  bool regular = false, encrypted = false, sized = false;
  std::uint32_t at = 0;
  for (archive_entry* entry = nullptr; (entry = reader.next()); ++at) {
    if (archive_entry_filetype(entry) == AE_IFDIR) continue;
    std::string name = entryName(entry);
    if (name.empty() || leftByTheSystem(name)) continue;
    files.add(name);
    const std::string_view base = lastPart(name);
    if (wanted ? !wanted(base) : isBesideRom(base)) continue;
    roms.add(name);
    if (roms.count() > 1) continue;
    rom.entry = at;
    romName = std::move(name);
    regular = archive_entry_filetype(entry) == AE_IFREG;
    encrypted = archive_entry_is_encrypted(entry);
    sized = archive_entry_size_is_set(entry);
    rom.size = static_cast<std::uint64_t>(archive_entry_size(entry));
    const bool dated = archive_entry_mtime_is_set(entry);
    rom.modifiedSeconds = dated ? archive_entry_mtime(entry) : file.status().modifiedSeconds;
    rom.modifiedNanoseconds = static_cast<std::uint32_t>(dated ? archive_entry_mtime_nsec(entry)
                                                               : file.status().modifiedNanoseconds);
  }
  if (roms.count() != 1) throw archiveError(path, notOneRom(files, roms, bool(wanted)));
  if (!regular) throw archiveError(path, "Holds " + roms.text() + " as a link, not a file");
  if (encrypted) throw archiveError(path, "Holds an encrypted file, which cannot be unpacked");
  rom.name = recordNameOf(path, listedName, romName);
  if (!sized) throw archiveError(path, "Does not say how large its file is");
  return rom;
}

// Shows `write` the blocks `next` gives, in order, refusing more bytes
// than the ROM declares before writing them (a zip bomb stops there) and
// fewer at the end.
template <typename Next>
void unpackBlocks(const std::string& path, const ArchivedRom& rom, const Write& write,
                  Next&& next) {
  std::uint64_t total = 0, offset = 0;
  const char* bytes = nullptr;
  std::size_t got = 0;
  while (next(bytes, got, offset)) {
    if (got > rom.size - total)
      throw archiveError(
          path, "Unpacks to more bytes than it declares (" + withThousands(rom.size) + ")");
    // The formats read here unpack in one run, with no holes.
    if (offset != total) throw damaged(path, "the archive is damaged");
    write(bytes, got);
    total += got;
  }
  if (total != rom.size)
    throw archiveError(path, "Unpacks to " + withThousands(total) + " bytes, not the " +
                                 withThousands(rom.size) + " it declares");
}

void unpackOpen(ReadableFile& file, const std::string& path, const ArchivedRom& rom,
                const Write& write) {
  if (rom.format == ArchiveFormat::Gzip) {
    GzipReader gzip(file, path);
    std::uint64_t total = 0;
    unpackBlocks(path, rom, write,
                 [&](const char*& bytes, std::size_t& size, std::uint64_t& offset) {
                   offset = total;
                   const bool more = gzip.next(bytes, size);
                   total += size;
                   return more;
                 });
    return;
  }
  Reader reader(file, path, rom.format);
  for (std::uint32_t at = 0; at <= rom.entry; ++at)
    if (!reader.next()) throw archiveError(path, "Holds no file any more");
  unpackBlocks(path, rom, write, [&](const char*& bytes, std::size_t& size, std::uint64_t& offset) {
    return reader.block(bytes, size, offset);
  });
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

bool isBesideRom(std::string_view name) {
  const std::string_view base = lastPart(name);
  const std::size_t dot = base.rfind('.');
  if (dot == std::string_view::npos) return false;
  for (const std::string_view extension :
       {".txt", ".nfo", ".diz", ".jpg", ".png", ".pdf", ".htm", ".html", ".url"})
    if (equalIgnoringCase(base.substr(dot), extension)) return true;
  return false;
}

ArchivedRom lookIntoArchive(ReadableFile& file, const std::string& path,
                            std::string_view listedName, ArchiveFormat format,
                            const RomFilter& wanted) {
  ArchivedRom rom = format == ArchiveFormat::Gzip
                        ? lookIntoGzip(file, path, listedName)
                        : lookIntoEntries(file, path, listedName, format, wanted);
  rom.archive = SourceIdentity::of(file.status());
  return rom;
}

void unpackArchive(FileSystem& files, const std::string& path, const ArchivedRom& rom,
                   const Write& write) {
  const auto changed = [&] {
    return RunTimeError(ErrorNumber::PathFileAccessError, path, "Changed while it was copied");
  };
  const std::unique_ptr<ReadableFile> file = files.openForReading(path);
  if (SourceIdentity::of(file->status()) != rom.archive) throw changed();
  // Whether the archive at the path is still the one looked into, as it
  // was: rewritten in place, its size or times differ; replaced, its inode.
  const auto unchanged = [&] {
    return SourceIdentity::of(files.status(path, Look::Target)) == rom.archive;
  };
  bool writing = false;
  try {
    unpackOpen(*file, path, rom, [&](const char* bytes, std::size_t size) {
      writing = true;
      write(bytes, size);
      writing = false;
    });
  } catch (const RunTimeError& error) {
    // An archive that changed while it was read fails to unpack in any way
    // (a checksum, a size, a damaged entry): the change is the cause.
    if (!writing && error.number() != ErrorNumber::UserInterrupt && !unchanged()) throw changed();
    throw;
  }
  if (!unchanged()) throw changed();
}

}  // namespace kavo
