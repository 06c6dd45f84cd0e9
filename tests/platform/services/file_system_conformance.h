// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <string>

#include "platform/services/run_time_error.h"
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

  // The host's words for a failure: a POSIX host's C library's, as given;
  // Windows' own, which must at least be words, not "Windows error N".
  void expectReason(const RunTimeError& error, const std::string& posix) const {
    if (where->posixSemantics()) {
      EXPECT_EQ(error.reason(), posix);
    } else {
      EXPECT_TRUE(!error.reason().empty() && !error.reason().starts_with("Windows error"))
          << error.reason() << " (where POSIX says " << posix << ")";
    }
  }
};

}  // namespace kavo::testing
