// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>

#include "support/test_files.h"

namespace kavo::testing {

// What every file system of the program's does, whatever holds its files:
// the tests in file_system_conformance_test.cpp, run against each file
// system that a test executable instantiates them for, as
//   INSTANTIATE_TEST_SUITE_P(Memory, FileSystemConformance,
//                            ::testing::Values(FilesPlace{"memory", &inMemory}));
// so that the memory file system most tests run on behaves as the disk does.
struct FilesPlace {
  const char* name;  // as the tests' names show it
  std::unique_ptr<TestFiles> (*make)();
  friend void PrintTo(const FilesPlace& place, std::ostream* out) { *out << place.name; }
};

class FileSystemConformance : public ::testing::TestWithParam<FilesPlace> {
 protected:
  const std::unique_ptr<TestFiles> where = GetParam().make();
  FileSystem& files = where->files();
  const Folder& dir = where->root();
};

}  // namespace kavo::testing
