// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times filling the source file list from a directory of many files, with
// the filter off and on, as the window does it; then from a directory of
// zipped games, which the filter looks into.
//
//   listing_benchmark --dir DIR [--files N] [--zipped N] [--rounds N]
//
// Each round first shows an empty directory, so every fill starts from an
// empty list. "read" is the directory listing alone (read, stat, match,
// sort, and with the filter on, the archives' headers); "filled" adds
// making the list's entries; "painted" adds showing the list once.

#include <QApplication>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "controls/file_list_box.h"
#include "listing/directory_listing.h"
#include "median.h"
#include "platform/services/posix_file_system.h"
#include "support/archive_files.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double since(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// A third each of .sms, .gg and .zip files, made once and kept.
void prepare(const std::string& dir, int files) {
  std::string marker = dir + "/.complete-" + std::to_string(files);
  if (fs::exists(marker)) return;
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::fprintf(stderr, "generating %d files in %s\n", files, dir.c_str());
  const char* extensions[] = {".sms", ".gg", ".zip"};
  for (int i = 0; i < files; ++i)
    std::ofstream(dir + "/Game " + std::to_string(i) + extensions[i % 3]) << i;
  std::ofstream(marker).put('\n');
}

// `size` bytes of a ROM: half of them runs, so that they pack to about half.
std::string romBytes(std::size_t size, unsigned seed) {
  std::string bytes(size, '\0');
  std::uint32_t state = seed * 2654435761u + 1;
  for (std::size_t i = 0; i < size; ++i) {
    state = state * 1664525u + 1013904223u;
    bytes[i] = static_cast<char>((i >> 6) % 2 == 0 ? i >> 12 : state >> 24);
  }
  return bytes;
}

// Zipped games as players keep them, made once and kept: ROMs of 256 KiB,
// eight in ten deflated in a .zip with a readme beside the ROM, one in a
// .7z, one gzipped with its name in the header.
void prepareZipped(const std::string& dir, int games) {
  std::string marker = dir + "/.complete-" + std::to_string(games);
  if (fs::exists(marker)) return;
  fs::remove_all(dir);
  fs::create_directories(dir);
  std::fprintf(stderr, "generating %d zipped games in %s\n", games, dir.c_str());
  for (int i = 0; i < games; ++i) {
    const std::string name = "Game " + std::to_string(i) + " (USA)";
    const kavo::testing::Member rom{name + ".sms", romBytes(256 * 1024, i)};
    if (i % 10 == 8)
      kavo::testing::writeArchive(dir + "/" + name + ".7z", "7z", {rom});
    else if (i % 10 == 9)
      kavo::testing::writeArchive(dir + "/" + name + ".sms.gz", "gz-named", {rom});
    else
      kavo::testing::writeArchive(dir + "/" + name + ".zip", "zip",
                                  {rom, {"readme.txt", "Dumped by someone, verified good.\n"}});
  }
  std::ofstream(marker).put('\n');
}

// Fills `list` from `full` with the filter off and on, `rounds` times each,
// and prints a row of medians for each.
void timeFills(kavo::FileSystem& files, kavo::FileListBox& list, const std::string& full,
               const std::string& empty, int rounds) {
  for (std::string pattern : {std::string(), std::string("*.sms; *.gg")}) {
    std::vector<double> read, filled, painted;
    std::size_t entries = 0;
    for (int round = 0; round < rounds; ++round) {
      auto start = Clock::now();
      entries = kavo::listFiles(files, full, kavo::FilePattern(pattern)).size();
      read.push_back(since(start));

      list.setPattern(pattern);
      list.setDirectory(empty);
      QApplication::processEvents();
      start = Clock::now();
      list.setDirectory(full);
      filled.push_back(since(start));
      list.repaint();
      painted.push_back(since(start));
    }
    std::printf("%-24s %8zu %8.3f %8.3f %8.3f\n",
                pattern.empty() ? "off" : ("on, \"" + pattern + "\"").c_str(), entries,
                median(read), median(filled), median(painted));
  }
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::string dir = "bench-data";
  int files = 50000, zipped = 2000, rounds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string arg = argv[i];
    if (arg == "--dir")
      dir = argv[i + 1];
    else if (arg == "--files")
      files = std::stoi(argv[i + 1]);
    else if (arg == "--zipped")
      zipped = std::stoi(argv[i + 1]);
    else if (arg == "--rounds")
      rounds = std::stoi(argv[i + 1]);
  }
  const std::string many = fs::absolute(dir).string() + "/listing";
  const std::string games = fs::absolute(dir).string() + "/listing-zipped";
  const std::string empty = fs::absolute(dir).string() + "/listing-empty";
  prepare(many, files);
  prepareZipped(games, zipped);
  fs::create_directories(empty);

  kavo::PosixFileSystem posix;
  kavo::FileListBox list(posix, empty);
  list.resize(136, 136);
  list.show();
  std::printf(
      "%d files (a third each .sms, .gg, .zip that is no archive), %d rounds, medians "
      "in seconds\n",
      files, rounds);
  std::printf("%-24s %8s %8s %8s %8s\n", "pattern", "entries", "read", "filled", "painted");
  timeFills(posix, list, many, empty, rounds);
  std::printf("\n%d zipped games (8 in 10 .zip with a readme, 1 .7z, 1 .sms.gz), %d rounds\n",
              zipped, rounds);
  std::printf("%-24s %8s %8s %8s %8s\n", "pattern", "entries", "read", "filled", "painted");
  timeFills(posix, list, games, empty, rounds);
  return 0;
}
