// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "catalog/identification.h"

#include <nettle/sha1.h>
#include <zlib.h>

#include <algorithm>
#include <map>
#include <memory>
#include <tuple>

#include "catalog/set_name.h"
#include "export/archived_rom.h"
#include "export/copy_workers.h"
#include "export/rom_layout.h"
#include "platform/services/interruption.h"
#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"

namespace kavo::catalog {

namespace {

// The DAT's ROMs that can be recognised (those with a CRC32 that were
// dumped), by size and CRC32.
class RomIndex {
 public:
  explicit RomIndex(const Dat& dat) {
    for (std::size_t game = 0; game < dat.games.size(); ++game)
      for (std::size_t rom = 0; rom < dat.games[game].roms.size(); ++rom) {
        const DatRom& found = dat.games[game].roms[rom];
        if (!found.crc32 || found.status == RomStatus::NoDump) continue;
        entries_.push_back({found.size, *found.crc32, game, rom});
        sizes_.emplace_back(found.size, found.sha1.has_value());
      }
    std::sort(entries_.begin(), entries_.end());
    // One entry a size, saying whether any of its ROMs has a SHA-1.
    std::sort(sizes_.begin(), sizes_.end());
    std::vector<std::pair<std::uint64_t, bool>> sizes;
    for (const auto& [size, sha1] : sizes_) {
      if (sizes.empty() || sizes.back().first != size)
        sizes.emplace_back(size, sha1);
      else
        sizes.back().second = sizes.back().second || sha1;
    }
    sizes_ = std::move(sizes);
  }

  // Nothing when no ROM has this size; else whether a SHA-1 is wanted.
  std::optional<bool> sizeWantsSha1(std::uint64_t size) const {
    const auto at = std::lower_bound(sizes_.begin(), sizes_.end(), std::make_pair(size, false));
    if (at == sizes_.end() || at->first != size) return std::nullopt;
    return at->second;
  }

  struct Entry {
    std::uint64_t size;
    std::uint32_t crc;
    std::size_t game, rom;
    bool operator<(const Entry& other) const {
      return std::tie(size, crc, game, rom) <
             std::tie(other.size, other.crc, other.game, other.rom);
    }
  };

  // The ROMs of this size and CRC32, in the DAT's order.
  std::pair<const Entry*, const Entry*> matching(std::uint64_t size, std::uint32_t crc) const {
    const Entry low{size, crc, 0, 0};
    const auto first = std::lower_bound(entries_.begin(), entries_.end(), low);
    auto last = first;
    while (last != entries_.end() && last->size == size && last->crc == crc) ++last;
    return {entries_.data() + (first - entries_.begin()),
            entries_.data() + (last - entries_.begin())};
  }

 private:
  std::vector<Entry> entries_;
  std::vector<std::pair<std::uint64_t, bool>> sizes_;
};

// CRC32 and, when wanted, SHA-1 of the same bytes, given a piece at a time.
class Hashes {
 public:
  explicit Hashes(bool sha1) : wantSha1_(sha1) {
    if (wantSha1_) sha1_init(&sha1_);
  }

  void add(const char* bytes, std::size_t size) {
    throwIfInterrupted();
    crc_ = crc32_z(crc_, reinterpret_cast<const Bytef*>(bytes), size);
    if (wantSha1_) sha1_update(&sha1_, size, reinterpret_cast<const std::uint8_t*>(bytes));
    size_ += size;
  }

  std::uint64_t size() const { return size_; }
  std::uint32_t crc32() const { return static_cast<std::uint32_t>(crc_); }
  std::optional<Sha1> sha1() {
    if (!wantSha1_) return std::nullopt;
    Sha1 digest;
    sha1_digest(&sha1_, digest.size(), digest.data());
    return digest;
  }

 private:
  bool wantSha1_;
  uLong crc_ = crc32_z(0, nullptr, 0);
  sha1_ctx sha1_{};
  std::uint64_t size_ = 0;
};

// The extension the copy of a file named so takes: from its last dot, as the
// export takes it; none when there is no dot or what follows it is no
// extension (holds a blank or a bracket), as in "Dr. Robotnik's (USA)".
std::string extensionOfCopy(std::string_view name) {
  const std::string_view extension = layout::extensionOf(name);
  if (extension.empty() || extension.front() != '.' ||
      extension.find_first_of(" ()[]") != std::string_view::npos)
    return {};
  return std::string(extension);
}

class Identifier {
 public:
  Identifier(FileSystem& files, const std::string& directory, const Dat& dat)
      : files_(files), directory_(directory), dat_(dat), index_(dat) {}

  Identity identify(const std::string& name) const {
    Identity identity;
    const std::string path = paths::join(directory_, name);
    try {
      std::string copyName = name;
      std::optional<ArchivedRom> archived;
      std::unique_ptr<ReadableFile> file;
      if (mayBeArchive(name)) {
        file = files_.openForReading(path);
        char start[8] = {};
        const std::size_t got = file->readAt(0, start, sizeof start);
        if (const auto format = archiveFormatOf({start, got})) {
          archived = lookIntoArchive(*file, path, name, *format);
          file.reset();
          copyName = archived->name;
        }
      }
      identity.extension = extensionOfCopy(copyName);

      if (!archived && !file) {
        // Looked at without opening first: a folder may hold many files of
        // sizes the DAT has none of.
        const FileStatus status = files_.status(path, Look::Target);
        if (status.type == FileType::Regular && !index_.sizeWantsSha1(status.size)) return identity;
        file = files_.openForReading(path);  // refuses anything but a regular file
      }
      const std::optional<bool> wantSha1 =
          index_.sizeWantsSha1(archived ? archived->size : file->status().size);
      if (!wantSha1) return identity;

      Hashes hashes(*wantSha1);
      if (archived) {
        unpackArchive(files_, path, *archived,
                      [&](const char* bytes, std::size_t got) { hashes.add(bytes, got); });
      } else {
        const auto buffer = std::make_unique_for_overwrite<char[]>(kPiece);
        while (const std::size_t got = file->read(buffer.get(), kPiece))
          hashes.add(buffer.get(), got);
      }
      find(identity, hashes, stemOf(copyName));
    } catch (const RunTimeError& error) {
      if (error.number() == ErrorNumber::UserInterrupt) throw;
      identity = Identity{};
      identity.found = Found::Unreadable;
      identity.problem = error.reason().empty() ? error.description() : error.reason();
    }
    return identity;
  }

 private:
  static constexpr std::size_t kPiece = 64 * 1024;

  // The DAT's ROM with these hashes. When several have them (a dump the DAT
  // lists under two games), the one whose game has the file's own name, else
  // the first.
  void find(Identity& identity, Hashes& hashes, std::string_view stem) const {
    const std::optional<Sha1> sha1 = hashes.sha1();
    const auto [first, last] = index_.matching(hashes.size(), hashes.crc32());
    const RomIndex::Entry* chosen = nullptr;
    for (const RomIndex::Entry* entry = first; entry != last; ++entry) {
      const DatRom& rom = dat_.games[entry->game].roms[entry->rom];
      if (rom.sha1 && rom.sha1 != sha1) continue;
      if (!chosen ||
          (dat_.games[entry->game].name == stem && dat_.games[chosen->game].name != stem))
        chosen = entry;
    }
    if (!chosen) return;
    identity.found = Found::Identified;
    identity.game = chosen->game;
    identity.rom = chosen->rom;
    identity.badDump = dat_.games[chosen->game].roms[chosen->rom].status == RomStatus::BadDump;
  }

  FileSystem& files_;
  const std::string& directory_;
  const Dat& dat_;
  RomIndex index_;
};

}  // namespace

std::vector<Identity> identify(FileSystem& files, const std::string& sourceDirectory,
                               const std::vector<std::string>& names, const Dat& dat,
                               std::size_t threads) {
  const Identifier identifier(files, sourceDirectory, dat);
  std::vector<Identity> identities(names.size());
  {
    CopyWorkers workers(threads, 4 * std::max<std::size_t>(threads, 1));
    for (std::size_t i = 0; i < names.size(); ++i) {
      while (!workers.hasRoom()) workers.takeBackOldest();
      workers.handIn({i, i + 1}, [&, i] { identities[i] = identifier.identify(names[i]); });
    }
    while (workers.inHand() > 0) workers.takeBackOldest();
  }
  std::map<std::pair<std::size_t, std::size_t>, std::size_t> firstOf;
  for (std::size_t i = 0; i < identities.size(); ++i) {
    Identity& identity = identities[i];
    if (identity.found != Found::Identified) continue;
    const auto [at, fresh] = firstOf.emplace(std::make_pair(identity.game, identity.rom), i);
    if (!fresh) identity.duplicateOf = at->second;
  }
  return identities;
}

std::optional<std::string> datRecordName(const Dat& dat, const Identity& identity) {
  if (identity.found != Found::Identified || identity.extension.empty()) return std::nullopt;
  return dat.games[identity.game].name + identity.extension;
}

}  // namespace kavo::catalog
