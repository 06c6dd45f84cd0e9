// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "listing/directory_listing.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "listing/list_order.h"
#include "platform/services/posix_file_system.h"
#include "platform/services/run_time_error.h"
#include "support/error_of.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::makeDirectories;
using testing::TempDirectory;
using testing::writeFile;
using Names = std::vector<std::string>;

TEST(ListOrder, IgnoresAsciiCaseAndBreaksTiesByBytes) {
  Names names = {"b.sms", "B.sms", "a.gg", "A.GG", "_x", "Z", "a", "\xc3\x89t\xc3\xa9"};
  std::sort(names.begin(), names.end(), listOrderLess);
  EXPECT_EQ(names, (Names{"_x", "a", "A.GG", "a.gg", "B.sms", "b.sms", "Z", "\xc3\x89t\xc3\xa9"}));
}

TEST(DirectoryListing, ListsOnlyVisibleRegularFilesAndLinksToThem) {
  TempDirectory dir;
  PosixFileSystem files;
  writeFile(dir / "Zelda.gg", "z");
  writeFile(dir / "alpha.SMS", "a");
  writeFile(dir / "README", "r");
  writeFile(dir / ".hidden.sms", "h");
  writeFile(dir / "bad\xff.sms", "b");  // not UTF-8: kept as bytes
  makeDirectories(dir / "folder.sms");
  makeDirectories(dir / ".git");
  ASSERT_EQ(::symlink("Zelda.gg", (dir / "link.gg").c_str()), 0);
  ASSERT_EQ(::symlink("missing.gg", (dir / "dangling.gg").c_str()), 0);
  ASSERT_EQ(::symlink("folder.sms", (dir / "dirlink").c_str()), 0);
  ASSERT_EQ(::mkfifo((dir / "pipe.sms").c_str(), 0600), 0);

  EXPECT_EQ(listFiles(files, dir.path(), FilePattern("*.*")),
            (Names{"alpha.SMS", "bad\xff.sms", "link.gg", "README", "Zelda.gg"}));
  EXPECT_EQ(listFiles(files, dir.path(), FilePattern("*.sms; *.gg")),
            (Names{"alpha.SMS", "bad\xff.sms", "link.gg", "Zelda.gg"}));
  EXPECT_EQ(listSubdirectories(files, dir.path()), (Names{"dirlink", "folder.sms"}));
}

TEST(DirectoryListing, AMissingDirectoryIsARunTimeErrorNamingIt) {
  TempDirectory dir;
  PosixFileSystem files;
  for (auto list : {+[](FileSystem&f, const std::string&d) { listFiles(f, d, FilePattern("*.*")); },
                    +[](FileSystem&f, const std::string&d) { listSubdirectories(f, d); }}) {
    const auto error = testing::errorOf([&] { list(files, dir / "gone"); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), ErrorNumber::PathNotFound);
    EXPECT_EQ(error->path(), dir / "gone");
  }
}

}  // namespace
}  // namespace kavo
