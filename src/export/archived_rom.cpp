// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/archived_rom.h"

#include <archive_entry.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "archive/archive_readers.h"
#include "export/record_name.h"
#include "platform/services/run_time_error.h"
#include "text/ascii_case.h"
#include "text/counts.h"

namespace kavo {

namespace {

using Write = std::function<void(const char*, std::size_t)>;

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

// The record's name: the archive's name with its extension replaced by the
// ROM's, which it may already end with ("Game.sms.gz" holding "Game.sms").
// Refuses a ROM's name without an extension, and a record the index could
// not hold.
std::string recordNameOf(const std::string& path, std::string_view listedName,
                         std::string_view romName) {
  const std::optional<std::string_view> extension = memberExtension(romName);
  if (!extension) throw archiveError(path, "Holds a file whose name gives no extension");
  const std::size_t dot = listedName.rfind('.');
  std::string name(dot == std::string_view::npos ? listedName : listedName.substr(0, dot));
  if (!endsWithIgnoringCase(name, *extension)) name += *extension;
  if (const std::optional<std::string> problem = recordNameProblem(name))
    throw archiveError(path, "Holds a file whose name " + *problem);
  return name;
}

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
  // Named in its header, or as the archive less ".gz" (see gzipFileName).
  const std::optional<std::string> name = gzipFileName(gzip.name(), listedName);
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
  ArchiveReader reader(file, path, format);
  ArchivedRom rom;
  rom.format = format;
  NameList files, roms;
  std::string romName;
  bool regular = false, encrypted = false, sized = false;
  std::uint32_t at = 0;
  for (archive_entry* entry = nullptr; (entry = reader.next()); ++at) {
    if (archive_entry_filetype(entry) == AE_IFDIR) continue;
    std::string name = entryName(entry);
    if (name.empty() || isLeftByTheSystem(name)) continue;
    files.add(name);
    if (!mayBeRom(name, wanted)) continue;
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
    if (offset != total) throw damagedArchive(path, "the archive is damaged");
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
  ArchiveReader reader(file, path, rom.format);
  for (std::uint32_t at = 0; at <= rom.entry; ++at)
    if (!reader.next()) throw archiveError(path, "Holds no file any more");
  unpackBlocks(path, rom, write, [&](const char*& bytes, std::size_t& size, std::uint64_t& offset) {
    return reader.block(bytes, size, offset);
  });
}

}  // namespace

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
