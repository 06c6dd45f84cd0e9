// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times the catalogue's two costly steps against what they cannot beat.
//
//   catalog_benchmark --dir DIR [--rounds N] [--threads N] [--games N]
//
// Identification: 2,000 ROMs of 256 KiB (made once and kept in
// DIR/catalog-roms) identified against a DAT that lists them all, with
// SHA-1s, against simply reading the same files one after another through
// the same file system, and against reading them as many at once as
// identification does (--threads, 4), in the same rounds, taking turns at
// going first.
// Both are timed twice: "warm" with the files in the page cache (where the
// hashes are all the cost there is), and "cold" with each file's cached
// pages dropped first (posix_fadvise), so that the bytes come from the disk,
// as they do the first time a set is identified.
//
// DAT parsing: a generated Logiqx DAT of 10,000 games (a third of them
// clones, each with a description and one ROM with size, CRC32, MD5 and
// SHA-1), parsed from memory; and the same games in clrmamepro's format.

#include <fcntl.h>
#include <nettle/sha1.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "catalog/dat_file.h"
#include "catalog/identification.h"
#include "median.h"
#include "platform/services/posix_file_system.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace kavo::catalog;

namespace {

constexpr int kRoms = 2000;
constexpr std::size_t kRomSize = 256 * 1024;

double seconds(const std::function<void()>& work) {
  const auto start = Clock::now();
  work();
  return std::chrono::duration<double>(Clock::now() - start).count();
}

std::string hex(const unsigned char* bytes, std::size_t size) {
  std::string text;
  char digits[3];
  for (std::size_t i = 0; i < size; ++i) {
    std::snprintf(digits, sizeof digits, "%02x", bytes[i]);
    text += digits;
  }
  return text;
}

// Bytes that neither compress to nothing nor repeat from one ROM to the next.
std::string romBytes(unsigned seed) {
  std::string bytes(kRomSize, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (char& byte : bytes) {
    state = state * 1664525u + 1013904223u;
    byte = static_cast<char>(state >> 24);
  }
  return bytes;
}

std::string romName(int i) { return "Game " + std::to_string(i) + " (Europe).sms"; }

// Makes the ROMs once, and each time the DAT of them, hashed here with zlib
// and nettle directly rather than with the code being timed.
std::string prepareRoms(const std::string& dir) {
  const bool made = fs::exists(dir + "/.complete");
  if (!made) {
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::fprintf(stderr, "generating %d ROMs of %zu KiB in %s\n", kRoms, kRomSize / 1024,
                 dir.c_str());
  }
  std::string dat = "<?xml version=\"1.0\"?>\n<datafile>\n";
  for (int i = 0; i < kRoms; ++i) {
    const std::string bytes = romBytes(static_cast<unsigned>(i));
    if (!made) std::ofstream(dir + "/" + romName(i), std::ios::binary) << bytes;
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08lx", crc32_z(0, data, bytes.size()));
    sha1_ctx context;
    sha1_init(&context);
    sha1_update(&context, bytes.size(), data);
    unsigned char sha1[SHA1_DIGEST_SIZE];
    sha1_digest(&context, sizeof sha1, sha1);
    const std::string game = std::string(romName(i)).substr(0, romName(i).size() - 4);
    dat += "<game name=\"" + game + "\"><rom name=\"" + romName(i) + "\" size=\"" +
           std::to_string(bytes.size()) + "\" crc=\"" + crc + "\" sha1=\"" +
           hex(sha1, sizeof sha1) + "\"/></game>\n";
  }
  if (!made) std::ofstream(dir + "/.complete").put('\n');
  return dat + "</datafile>\n";
}

// Drops the files' pages from the page cache, so that they are read from
// the disk again.
void dropCached(const std::string& dir, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const int fd = ::open((dir + "/" + name).c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0 || ::posix_fadvise(fd, 0, 0, POSIX_FADV_DONTNEED) != 0) {
      std::perror(name.c_str());
      std::exit(1);
    }
    ::close(fd);
  }
}

// Reads every file through the file system as identification does, `threads`
// at once, and does nothing with the bytes.
std::uint64_t readAll(kavo::FileSystem& files, const std::string& dir,
                      const std::vector<std::string>& names, std::size_t threads) {
  std::atomic<std::size_t> next = 0;
  std::atomic<std::uint64_t> total = 0;
  const auto reader = [&] {
    const auto buffer = std::make_unique_for_overwrite<char[]>(64 * 1024);
    for (std::size_t i = next++; i < names.size(); i = next++) {
      const std::unique_ptr<kavo::ReadableFile> file = files.openForReading(dir + "/" + names[i]);
      while (const std::size_t got = file->read(buffer.get(), 64 * 1024)) total += got;
    }
  };
  std::vector<std::thread> readers;
  for (std::size_t i = 1; i < threads; ++i) readers.emplace_back(reader);
  reader();
  for (std::thread& thread : readers) thread.join();
  return total;
}

void benchmarkIdentification(const std::string& dir, int rounds, std::size_t threads) {
  const std::string roms = dir + "/catalog-roms";
  const Dat dat = parseDat(prepareRoms(roms));
  std::vector<std::string> names;
  for (int i = 0; i < kRoms; ++i) names.push_back(romName(i));
  kavo::PosixFileSystem files;

  std::printf("identifying %d ROMs of %zu KiB (%zu at once) against reading them, %d rounds\n",
              kRoms, kRomSize / 1024, threads, rounds);
  for (const bool cold : {false, true}) {
    // Simply reading them is reading one after another; reading as many at
    // once as identification does is shown too, the drive's best.
    std::vector<double> reading, readingAtOnce, identifying;
    readAll(files, roms, names, 1);  // warms the cache, and checks the files are all there
    const auto read = [&](std::size_t at, std::vector<double>& times) {
      if (cold) dropCached(roms, names);
      times.push_back(seconds([&] {
        if (readAll(files, roms, names, at) != kRoms * kRomSize) std::exit(1);
      }));
    };
    const auto identify = [&] {
      if (cold) dropCached(roms, names);
      std::vector<Identity> identities;
      identifying.push_back(
          seconds([&] { identities = kavo::catalog::identify(files, roms, names, dat, threads); }));
      for (const Identity& identity : identities)
        if (identity.found != Found::Identified || identity.duplicateOf) {
          std::fprintf(stderr, "a ROM was not identified\n");
          std::exit(1);
        }
    };
    for (int round = 0; round < rounds; ++round) {
      if (round % 2 == 0) {
        read(1, reading);
        read(threads, readingAtOnce);
        identify();
      } else {
        identify();
        read(threads, readingAtOnce);
        read(1, reading);
      }
    }
    const double read1 = median(reading), readN = median(readingAtOnce),
                 identified = median(identifying);
    std::printf(
        "  %-5s read %.3f s (%.0f MB/s), %zu at once %.3f s; identified %.3f s: %.2f times the "
        "read (%.2f times the read %zu at once)\n",
        cold ? "cold" : "warm", read1, kRoms * kRomSize / read1 / 1e6, threads, readN, identified,
        identified / read1, identified / readN, threads);
  }
}

// A Logiqx DAT of `count` games, every third a clone of the one before it.
std::string logiqx(int count) {
  std::string text =
      "<?xml version=\"1.0\"?>\n<!DOCTYPE datafile PUBLIC \"-//Logiqx//DTD ROM Management "
      "Datafile//EN\" \"http://www.logiqx.com/Dats/datafile.dtd\">\n<datafile>\n"
      "  <header>\n    <name>Generated</name>\n    <version>1</version>\n  </header>\n";
  for (int i = 0; i < count; ++i) {
    const std::string name = "Game " + std::to_string(i) + " (Europe) (En,Fr,De)";
    const std::string clone =
        i % 3 == 2 ? " cloneof=\"Game " + std::to_string(i - 1) + " (Europe) (En,Fr,De)\"" : "";
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", static_cast<unsigned>(i) * 2654435761u);
    text += "  <game name=\"" + name + "\"" + clone + ">\n    <description>" + name +
            "</description>\n    <rom name=\"" + name + ".sms\" size=\"262144\" crc=\"" + crc +
            "\" md5=\"0123456789abcdef0123456789abcdef\" "
            "sha1=\"0123456789abcdef0123456789abcdef01234567\"/>\n  </game>\n";
  }
  return text + "</datafile>\n";
}

std::string clrmamepro(const Dat& dat) {
  std::string text = "clrmamepro (\n\tname \"Generated\"\n)\n";
  for (const DatGame& game : dat.games) {
    text += "\ngame (\n\tname \"" + game.name + "\"\n\tdescription \"" + game.description + "\"\n";
    if (!game.cloneOf.empty()) text += "\tcloneof \"" + game.cloneOf + "\"\n";
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08x", *game.roms.at(0).crc32);
    text += "\trom ( name \"" + game.roms[0].name + "\" size 262144 crc " + crc +
            " md5 0123456789abcdef0123456789abcdef sha1 "
            "0123456789abcdef0123456789abcdef01234567 )\n)\n";
  }
  return text;
}

void benchmarkParsing(int games, int rounds) {
  const std::string xml = logiqx(games);
  const std::string cmpro = clrmamepro(parseDat(xml));
  std::printf("parsing a DAT of %d games, %d rounds\n", games, rounds);
  for (const auto& [format, text] : {std::pair{"Logiqx XML", &xml}, {"clrmamepro", &cmpro}}) {
    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
      std::size_t parsed = 0;
      times.push_back(seconds([&] { parsed = parseDat(*text).games.size(); }));
      if (parsed != static_cast<std::size_t>(games)) std::exit(1);
    }
    std::printf("  %-10s %.1f MB: %.3f s\n", format, text->size() / 1e6, median(times));
  }
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir = "bench-data";
  int rounds = 5, games = 10'000;
  std::size_t threads = 4;  // as identify() does by default
  for (int i = 1; i + 1 < argc; i += 2) {
    const std::string arg = argv[i];
    if (arg == "--dir") {
      dir = argv[i + 1];
    } else if (arg == "--rounds") {
      rounds = std::atoi(argv[i + 1]);
    } else if (arg == "--threads") {
      threads = static_cast<std::size_t>(std::atoi(argv[i + 1]));
    } else if (arg == "--games") {
      games = std::atoi(argv[i + 1]);
    } else {
      std::fprintf(stderr,
                   "usage: catalog_benchmark --dir DIR [--rounds N] [--threads N] [--games N]\n");
      return 2;
    }
  }
  benchmarkParsing(games, rounds);
  benchmarkIdentification(dir, rounds, threads);
}
