// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A DAT file read from the disk, a sparse one among them.
#include <gtest/gtest.h>

#include <filesystem>

#include "catalog/dat_file.h"
#include "catalog/sample_dat.h"
#include "platform/services/posix_file_system.h"
#include "support/error_of.h"
#include "support/temp_directory.h"

namespace kavo::catalog {
namespace {

using kavo::testing::errorOf;

TEST(DatFileTest, ReadsFilesAndNamesThemInItsRefusals) {
  kavo::testing::TempDirectory folder;
  PosixFileSystem files;
  kavo::testing::writeFile(folder / "good.dat", testing::kSampleXml);
  EXPECT_EQ(readDat(files, folder / "good.dat").games.size(), 7u);

  kavo::testing::writeFile(folder / "broken.dat", "<datafile>\n<game>\n</datafile>");
  auto error = errorOf([&] { readDat(files, folder / "broken.dat"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->path(), folder / "broken.dat");
  EXPECT_EQ(error->reason(), "Cannot be read as a DAT file: line 3: mismatched tag");

  error = errorOf([&] { readDat(files, folder / "none.dat"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::FileNotFound);

  // One byte over the limit is refused without being read (the file is
  // sparse: it takes no room).
  kavo::testing::writeFile(folder / "large.dat", "<datafile/>");
  std::filesystem::resize_file(folder / "large.dat", DatLimits::kFileBytes + 1);
  error = errorOf([&] { readDat(files, folder / "large.dat"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->reason(),
            "Is larger than 67,108,864 bytes (64 MiB), more than any DAT file holds");
}

}  // namespace
}  // namespace kavo::catalog
