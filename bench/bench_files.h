// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

// What the benchmarks share: running a shell command, quoting a path for
// one, and giving back a round's space without deleting its files.

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

// Runs a shell command; a failure ends the benchmark.
inline void run(const std::string& command) {
  if (std::system(command.c_str()) != 0) {
    std::fprintf(stderr, "failed: %s\n", command.c_str());
    std::exit(1);
  }
}

inline std::string quoted(const std::string& path) { return "'" + path + "'"; }

// Truncates every file under `path` to nothing and flushes, so that no
// round pays for another's write-back. Deleting them instead would slow
// the next round's file creations on ext4 (its recently deleted inodes are
// searched when new ones are allocated).
inline void truncateAll(const std::string& path) {
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path))
    if (entry.is_regular_file()) std::filesystem::resize_file(entry.path(), 0);
  run("sync");
}
