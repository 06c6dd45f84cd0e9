// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Times filling the source file list from a directory of many files, with
// the filter off and on, as the window does it.
//
//   listing_benchmark --dir DIR [--files N] [--rounds N]
//
// Each round first shows an empty directory, so every fill starts from an
// empty list. "read" is the directory listing alone (read, stat, match,
// sort); "filled" adds making the list's entries; "painted" adds showing the
// list once.

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

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  std::string dir = "bench-data";
  int files = 50000, rounds = 5;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string arg = argv[i];
    if (arg == "--dir")
      dir = argv[i + 1];
    else if (arg == "--files")
      files = std::stoi(argv[i + 1]);
    else if (arg == "--rounds")
      rounds = std::stoi(argv[i + 1]);
  }
  const std::string many = fs::absolute(dir).string() + "/listing";
  const std::string empty = fs::absolute(dir).string() + "/listing-empty";
  prepare(many, files);
  fs::create_directories(empty);

  kavo::PosixFileSystem posix;
  kavo::FileListBox list(posix, empty);
  list.resize(136, 136);
  list.show();
  std::printf("%d files, %d rounds, medians in seconds\n", files, rounds);
  std::printf("%-24s %8s %8s %8s %8s\n", "pattern", "entries", "read", "filled", "painted");
  for (std::string pattern : {std::string(), std::string("*.sms; *.gg")}) {
    std::vector<double> read, filled, painted;
    std::size_t entries = 0;
    for (int round = 0; round < rounds; ++round) {
      auto start = Clock::now();
      entries = kavo::listFiles(posix, many, kavo::FilePattern(pattern)).size();
      read.push_back(since(start));

      list.setPattern(pattern);
      list.setDirectory(empty);
      QApplication::processEvents();
      start = Clock::now();
      list.setDirectory(many);
      filled.push_back(since(start));
      list.repaint();
      painted.push_back(since(start));
    }
    std::printf("%-24s %8zu %8.3f %8.3f %8.3f\n",
                pattern.empty() ? "off" : ("on, \"" + pattern + "\"").c_str(), entries,
                median(read), median(filled), median(painted));
  }
  return 0;
}
