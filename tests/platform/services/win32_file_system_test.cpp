// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Win32 file system on a Windows disk (under Wine in CI): the
// conformance tests, and what only Windows has: UTF-16 names, long paths, a
// drive's root joined as the index's folder, its own error codes, reads of
// whole sectors, the flushes it keeps track of.
#include "platform/services/win32_file_system.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <random>

#include "platform/services/file_system_conformance.h"
#include "platform/services/paths.h"
#include "platform/services/win32_host.h"
#include "support/copy_file.h"
#include "support/disk_files.h"
#include "support/error_of.h"

namespace kavo::testing {
namespace {

std::unique_ptr<TestFiles> onTheWindowsDisk() { return std::make_unique<DiskFiles>(); }

INSTANTIATE_TEST_SUITE_P(Win32, FileSystemConformance,
                         ::testing::Values(FilesPlace{"win32", &onTheWindowsDisk}));

class Win32FileSystemTest : public ::testing::Test {
 protected:
  DiskFiles where;
  FileSystem& files = where.files();
  const Folder& dir = where.root();
};

// Paths reach Windows as UTF-16, full ones with "\\?\", their separators
// made single "\" and "." and ".." applied, as Windows applies them to a
// path without the prefix; what is not UTF-8 never reaches it.
TEST(Win32Paths, FullPathsGetThePrefixAndOneSeparatorBetweenNames) {
  const struct {
    std::string path;
    std::wstring extended;
  } cases[] = {
      {"E:\\\\FILES.TXT", L"\\\\?\\E:\\FILES.TXT"},  // "E:\" joined with "FILES.TXT"
      {"E:\\", L"\\\\?\\E:\\"},
      {"e:/roms//more/./x/../Sonic.sms", L"\\\\?\\e:\\roms\\more\\Sonic.sms"},
      {"C:\\..\\..\\x", L"\\\\?\\C:\\x"},
      {"\\\\nas\\share\\..\\..\\roms", L"\\\\?\\UNC\\nas\\share\\roms"},
      {"Z:\\tmp\\Mad\xc5\x8d \xe6\x97\xa5\xe6\x9c\xac", L"\\\\?\\Z:\\tmp\\Mad\u014d \u65e5\u672c"},
      {"roms/x.sms", L"roms\\x.sms"},  // relative: as Windows resolves it
      {"\\\\?\\C:\\as\\given", L"\\\\?\\C:\\as\\given"},
  };
  for (const auto& c : cases) EXPECT_EQ(extendedPath(c.path), c.extended) << c.path;
  for (const std::string bad : {"C:\\Carte m\xe9moire", "C:\\\xc0\xaf", "C:\\\xed\xa0\x80"}) {
    const auto error = errorOf([&] { extendedPath(bad); });
    ASSERT_TRUE(error) << bad;
    EXPECT_EQ(error->number(), ErrorNumber::BadFileName);
    EXPECT_EQ(error->path(), bad);
  }
}

// Windows' error codes as run-time errors, among them those Wine never
// gives (a full disk, a write-protected card, a drive gone, a bad sector):
// the number for a file and for a folder, and the system's own words.
TEST(Win32Errors, EachCodeIsTheRunTimeErrorOfItsKind) {
  using enum ErrorNumber;
  const struct {
    unsigned long code;
    ErrorNumber file, directory;
  } cases[] = {
      {ERROR_FILE_NOT_FOUND, FileNotFound, PathNotFound},
      {ERROR_PATH_NOT_FOUND, PathNotFound, PathNotFound},
      {ERROR_DIRECTORY, PathNotFound, PathNotFound},
      {ERROR_FILE_EXISTS, FileAlreadyExists, PathFileAccessError},
      {ERROR_ALREADY_EXISTS, FileAlreadyExists, PathFileAccessError},
      {ERROR_DISK_FULL, DiskFull, DiskFull},
      {ERROR_HANDLE_DISK_FULL, DiskFull, DiskFull},
      {kErrorDiskQuotaExceeded, DiskFull, DiskFull},
      {ERROR_ACCESS_DENIED, PermissionDenied, PermissionDenied},
      {ERROR_WRITE_PROTECT, PermissionDenied, PermissionDenied},
      {ERROR_CRC, DeviceIoError, DeviceIoError},
      {ERROR_SECTOR_NOT_FOUND, DeviceIoError, DeviceIoError},
      {ERROR_GEN_FAILURE, DeviceIoError, DeviceIoError},
      {ERROR_NOT_READY, DeviceUnavailable, DeviceUnavailable},
      {ERROR_DEVICE_NOT_CONNECTED, DeviceUnavailable, DeviceUnavailable},
      {ERROR_INVALID_NAME, BadFileName, BadFileName},
      {ERROR_FILENAME_EXCED_RANGE, BadFileName, BadFileName},
      {ERROR_TOO_MANY_OPEN_FILES, TooManyFiles, TooManyFiles},
      {ERROR_NOT_ENOUGH_MEMORY, OutOfMemory, OutOfMemory},
      {ERROR_SHARING_VIOLATION, PathFileAccessError, PathFileAccessError},
      {ERROR_DIR_NOT_EMPTY, PathFileAccessError, PathFileAccessError},
      {kErrorDirectoryNotSupported, PathFileAccessError, PathFileAccessError},
  };
  for (const auto& c : cases) {
    const RunTimeError file = errorFromWin32(c.code, "E:\\x", PathRole::File);
    const RunTimeError directory = errorFromWin32(c.code, "E:\\x", PathRole::Directory);
    EXPECT_EQ(file.number(), c.file) << c.code;
    EXPECT_EQ(directory.number(), c.directory) << c.code;
    EXPECT_EQ(file.path(), "E:\\x");
    EXPECT_EQ(file.reason(), win32Message(c.code));
  }
  // The system's words, without the full stop and line end it ends them with.
  const std::string words = win32Message(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(words.empty());
  EXPECT_FALSE(words.ends_with('.') || words.ends_with('\n') || words.ends_with('\r')) << words;
  EXPECT_EQ(win32Message(0x2A0000FF), "Windows error 704643327");
}

// Names outside Windows-1252, listed, looked at, copied, renamed and
// removed under their own names, byte for byte in UTF-8.
TEST_F(Win32FileSystemTest, NamesOutsideTheAnsiCodePageKeepEveryCharacter) {
  const std::string folder = dir / "Mad\xc5\x8d \xe6\x97\xa5\xe6\x9c\xac";  // "Madō 日本"
  const std::string game = "Caf\xc3\xa9, \xf0\x9f\x8e\xae \xd0\xb8\xd0\xb3\xd1\x80\xd0\xb0.sms";
  files.makeDirectory(folder);
  where.writeFile(paths::join(folder, game), "rom");
  const auto entries = files.listDirectory(folder);
  ASSERT_EQ(entries.size(), 1u);
  EXPECT_EQ(entries[0].name, game);
  EXPECT_EQ(entries[0].status.type, FileType::Regular);
  EXPECT_EQ(files.status(paths::join(folder, game), Look::Access).size, 3u);
  copyFile(files, paths::join(folder, game), dir / "0.SMS");
  files.rename(dir / "0.SMS", paths::join(folder, "\xe6\x97\xa5.sms"));
  EXPECT_EQ(where.readFile(paths::join(folder, "\xe6\x97\xa5.sms")), "rom");
  EXPECT_TRUE(files.removeFile(paths::join(folder, "\xe6\x97\xa5.sms")));
  EXPECT_EQ(files.listDirectory(folder, Listing::Types).size(), 1u);
}

// A path of over 260 characters, and names at the volume's limit, work as
// any other: Windows would refuse them without the prefix.
TEST_F(Win32FileSystemTest, PathsLongerThan260CharactersWork) {
  std::string deep = dir.path();
  while (deep.size() < 400) {
    deep = paths::join(deep, std::string(60, 'd'));
    files.makeDirectory(deep);
  }
  const std::string name = std::string(251, 'n') + ".sms";
  auto file = files.createNew(paths::join(deep, name));
  file->print("a long way down");
  file->close();
  EXPECT_EQ(files.status(paths::join(deep, name)).size, 15u);
  copyFile(files, paths::join(deep, name), paths::join(deep, "copy"));
  EXPECT_EQ(*readAtMost(files, paths::join(deep, "copy"), 100, Reading::FromMedium),
            "a long way down");
  const auto sync = files.watchVolume(deep);
  sync->sync();
  EXPECT_EQ(files.listDirectory(deep).size(), 2u);
  EXPECT_TRUE(files.removeFile(paths::join(deep, "copy")));
}

// The drive's root is a folder like any other: a path that joins it with
// a name ("E:\" and "FILES.TXT" give "E:\\FILES.TXT") names its root file.
TEST_F(Win32FileSystemTest, ADoubledSeparatorAfterARootNamesTheRootsFile) {
  const std::string doubled = dir.path() + "\\\\FILES.TXT";
  auto index = files.createNew(doubled);
  index->print("Sonic.sms,ROMS0\\0.sms\n");
  index->close();
  EXPECT_EQ(where.readFile(dir / "FILES.TXT"), "Sonic.sms,ROMS0\\0.sms\n");
  EXPECT_EQ(files.status(doubled).type, FileType::Regular);
  files.rename(doubled, dir.path() + "//./FILES.TXT.old");
  EXPECT_EQ(files.status(dir / "FILES.TXT.old").size, 22u);
}

// Reading from the medium goes in whole sectors into a buffer of its own;
// what the caller asks for, at any offset and of any size, is what it
// gets, to the end of the file.
TEST_F(Win32FileSystemTest, ReadsFromTheMediumGiveExactlyTheBytesAskedFor) {
  std::string bytes(3 * 1024 * 1024 + 517, '\0');
  std::mt19937 random(3);
  for (char& byte : bytes) byte = static_cast<char>(random());
  where.writeFile(dir / "rom", bytes);
  auto file = files.openForReading(dir / "rom", Reading::FromMedium);
  const struct {
    std::uint64_t offset;
    std::size_t size;
  } reads[] = {{0, 1},
               {1, 4095},
               {4095, 2},
               {4096, 4096},
               {5000, 1024 * 1024 + 3},
               {bytes.size() - 3, 100},
               {bytes.size(), 10},
               {bytes.size() + 4096, 10}};
  for (const auto& r : reads) {
    std::string got(r.size, '\0');
    const std::size_t read = file->readAt(r.offset, got.data(), r.size);
    const std::size_t expected =
        r.offset >= bytes.size() ? 0 : std::min<std::size_t>(r.size, bytes.size() - r.offset);
    ASSERT_EQ(read, expected) << r.offset;
    EXPECT_EQ(got.substr(0, read),
              bytes.substr(std::min<std::size_t>(r.offset, bytes.size()), read));
  }
  std::string whole;
  char piece[7000];
  while (const std::size_t got = file->read(piece, sizeof piece)) whole.append(piece, got);
  EXPECT_TRUE(whole == bytes);
}

// What was written is flushed once, when its volume is: a file renamed
// since is flushed under its new name (a folder's files with it), and one
// removed since leaves nothing to flush.
TEST_F(Win32FileSystemTest, AFlushFollowsRenamesAndPassesOverWhatWasRemoved) {
  const auto sync = files.watchVolume(dir.path());
  files.makeDirectory(dir / "ROMS0.new");
  where.writeFile(dir / "a.sms", "a");
  copyFile(files, dir / "a.sms", dir / "ROMS0.new/0.SMS");
  copyFile(files, dir / "a.sms", dir / "gone");
  auto index = files.createNew(dir / "FILES.TXT.new");
  index->close();
  files.rename(dir / "ROMS0.new", dir / "ROMS0");
  files.rename(dir / "FILES.TXT.new", dir / "FILES.TXT");
  EXPECT_TRUE(files.removeFile(dir / "gone"));
  sync->sync();
  sync->sync();  // nothing left to flush
  files.syncDirectory(dir / "ROMS0");
  EXPECT_EQ(where.readFile(dir / "ROMS0/0.SMS"), "a");
}

// What Windows tells of the volume: under Wine every drive is NTFS, whose
// file numbers last; a drive's root is looked at like any folder.
TEST_F(Win32FileSystemTest, TheVolumeIsWhatWindowsSaysItIs) {
  const VolumeFacts facts = files.volume(dir.path());
  EXPECT_GT(facts.blockSize, 0u);
  EXPECT_EQ(facts.nameLimit, 255u);
  EXPECT_TRUE(facts.spaceKnown);
  EXPECT_GT(facts.available, 0u);
  EXPECT_EQ(facts.format, VolumeFormat::Other);
  EXPECT_TRUE(facts.stableIdentity);
  const std::string root = dir.path().substr(0, 3);  // "C:\"
  EXPECT_EQ(files.status(root).type, FileType::Directory);
  EXPECT_EQ(files.volume(root).nameLimit, 255u);
  EXPECT_FALSE(files.listDirectory(root, Listing::Types).empty());
}

// A claim is held against another file system in this process as against
// another process: the named object is the system's, not the object's.
TEST_F(Win32FileSystemTest, AClaimHoldsAgainstEveryOtherClaimant) {
  Win32FileSystem other;
  auto claim = files.lockDirectory(dir.path());
  const auto refused = errorOf([&] { other.lockDirectory(dir.path() + "\\"); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->reason(), kAnotherExport);
  // The claimed folder cannot be renamed away meanwhile.
  EXPECT_TRUE(errorOf([&] { other.rename(dir.path(), dir.path() + " moved"); }));
  claim.reset();
  EXPECT_NE(other.lockDirectory(dir.path()), nullptr);
}

}  // namespace
}  // namespace kavo::testing
