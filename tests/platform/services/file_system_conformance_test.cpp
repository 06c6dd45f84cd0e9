// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The file services the program relies on, as every file system gives them:
// run against the POSIX file system on the disk, the Win32 one on a Windows
// disk (under Wine) and the memory file system most tests use, so that any
// difference between them shows here. What Windows lacks (links a test can
// make, FIFOs, devices, the C library's words) is left out where a place has
// no POSIX semantics; the numbers and paths of its errors are held to the
// same.
#include "platform/services/file_system_conformance.h"

#include <atomic>
#include <functional>
#include <optional>
#include <random>
#include <thread>

#include "platform/services/run_time_error.h"
#include "support/copy_file.h"
#include "support/error_of.h"

namespace kavo::testing {
namespace {

std::string randomBytes(std::size_t size) {
  std::mt19937 generator(7);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator());
  return bytes;
}

TEST_P(FileSystemConformance, CopiesBytesExactlyToANewFileOnly) {
  const std::string contents[] = {"", "x", std::string("a\0b\r\n", 5),
                                  randomBytes(19 * 1024 * 1024 + 17)};
  for (const std::string& bytes : contents) {
    where->writeFile(dir / "from", bytes);
    copyFile(files, dir / "from", dir / "to");
    EXPECT_EQ(where->readFile(dir / "to"), bytes) << bytes.size() << " bytes";
    // Nothing that stands at the copy's path is replaced or written through.
    auto error = errorOf([&] { copyFile(files, dir / "from", dir / "to"); });
    ASSERT_TRUE(error);
    expectReason(*error, "File exists");
    where->removeAll(dir / "to");
  }
  if (!where->posixSemantics()) return;
  where->writeFile(dir / "target", "kept");
  where->makeLink("target", dir / "link");
  EXPECT_TRUE(errorOf([&] { copyFile(files, dir / "from", dir / "link"); }));
  EXPECT_EQ(where->readFile(dir / "target"), "kept");
}

// A copy keeps its source's modification time, to the nanosecond where the
// volume keeps them, and a listing reports it.
TEST_P(FileSystemConformance, ACopyKeepsItsSourcesModificationTime) {
  for (std::size_t size : {std::size_t{3}, std::size_t{300 * 1024}}) {
    where->writeFile(dir / "old.sms", std::string(size, 'r'));
    where->setModified(dir / "old.sms", 1'234'567'890, 123'456'789);
    where->makeDirectories(dir / "out");
    copyFile(files, dir / "old.sms", dir / "out/0.SMS");
    const auto entries = files.listDirectory(dir / "out");
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "0.SMS");
    EXPECT_EQ(entries[0].status.modifiedSeconds, 1'234'567'890);
    const std::uint32_t grain = where->timeGrain();
    EXPECT_EQ(entries[0].status.modifiedNanoseconds, 123'456'789u / grain * grain);
    EXPECT_EQ(files.status(dir / "out/0.SMS").modifiedSeconds, 1'234'567'890) << size;
    where->removeAll(dir / "out");
  }
}

// A source cut short, grown or rewritten while it is read leaves a copy
// that is neither its old bytes nor its new: the copy fails. Here another
// writer appends to it all the while; a copy that ended before the writer
// came is tried again with a larger file.
TEST_P(FileSystemConformance, ASourceThatChangesWhileItIsCopiedFailsTheCopy) {
  std::optional<RunTimeError> error;
  for (std::size_t size = 8 << 20; !error && size <= (128u << 20); size *= 4) {
    where->writeFile(dir / "growing.sms", std::string(size, 'g'));
    std::atomic<bool> copying = true;
    std::thread writer([&] {
      while (copying) where->appendTo(dir / "growing.sms", "x");
    });
    try {
      copyFile(files, dir / "growing.sms", dir / "copy");
    } catch (const RunTimeError& raised) {
      error = raised;
    }
    copying = false;
    writer.join();
    where->removeAll(dir / "copy");
  }
  ASSERT_TRUE(error) << "the writer never came while a copy ran";
  EXPECT_EQ(error->path(), dir / "growing.sms");
  EXPECT_EQ(error->reason(), "Changed while it was copied");
}

TEST_P(FileSystemConformance, CopiesThroughASymlinkToARegularFile) {
  if (!where->posixSemantics()) GTEST_SKIP() << "no links to make";
  where->writeFile(dir / "real.sms", "rom");
  where->makeLink("real.sms", dir / "link.sms");
  copyFile(files, dir / "link.sms", dir / "copy");
  EXPECT_EQ(where->readFile(dir / "copy"), "rom");
  EXPECT_EQ(files.openForReading(dir / "link.sms")->status().size, 3u);
}

TEST_P(FileSystemConformance, RefusesSourcesThatAreNotRegularFilesWithoutReading) {
  where->makeDirectories(dir / "folder");
  struct Case {
    std::string source;
    ErrorNumber number;
    std::string reason;
  };
  std::vector<Case> cases = {
      {dir / "folder", ErrorNumber::PathFileAccessError, "Not a regular file"},
      {dir / "missing", ErrorNumber::FileNotFound, "No such file or directory"},
  };
  if (where->posixSemantics()) {
    where->makeFifo(dir / "fifo");
    where->makeLink("nowhere", dir / "dangling");
    cases.push_back({dir / "fifo", ErrorNumber::PathFileAccessError, "Not a regular file"});
    cases.push_back({dir / "dangling", ErrorNumber::FileNotFound, "No such file or directory"});
  }
  if (where->onDisk() && where->posixSemantics())
    cases.push_back({"/dev/zero", ErrorNumber::PathFileAccessError, "Not a regular file"});
  for (const Case& c : cases) {
    for (bool copy : {false, true}) {
      auto error = errorOf([&] {
        copy ? (void)copyFile(files, c.source, dir / "copy") : (void)files.openForReading(c.source);
      });
      ASSERT_TRUE(error);
      EXPECT_EQ(error->number(), c.number) << c.source;
      EXPECT_EQ(error->path(), c.source);
      expectReason(*error, c.reason);
      EXPECT_FALSE(exists(files, dir / "copy")) << c.source;
    }
  }
}

TEST_P(FileSystemConformance, ANewFileIsNeverOneThatWasThere) {
  auto index = files.createNew(dir / "FILES.TXT.new");
  index->print("a,ROMS0\\0.a\n");
  index->print(std::string("\0\xff", 2));
  index->close();
  EXPECT_EQ(where->readFile(dir / "FILES.TXT.new"), std::string("a,ROMS0\\0.a\n\0\xff", 14));

  where->makeDirectories(dir / "FOLDER");
  struct Case {
    std::string path;
    ErrorNumber number;
    std::string reason;
  };
  std::vector<Case> cases = {
      {dir / "FILES.TXT.new", ErrorNumber::FileAlreadyExists, "File exists"},
      {dir / "FOLDER", ErrorNumber::FileAlreadyExists, "File exists"},
      {dir / "missing/FILES.TXT", ErrorNumber::PathNotFound, "No such file or directory"},
  };
  if (where->posixSemantics()) {
    where->makeLink("/dev/null", dir / "link");
    cases.push_back({dir / "link", ErrorNumber::FileAlreadyExists, "File exists"});
  }
  for (const Case& c : cases) {
    auto error = errorOf([&] { files.createNew(c.path); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), c.number) << c.path;
    EXPECT_EQ(error->path(), c.path);
    expectReason(*error, c.reason);
  }
  EXPECT_EQ(where->readFile(dir / "FILES.TXT.new").size(), 14u);
}

TEST_P(FileSystemConformance, RenameReplacesTheEntryNeverWhatALinkPointsTo) {
  where->writeFile(dir / "source.sms", "the user's ROM");
  if (where->posixSemantics())
    where->makeLink("source.sms", dir / "FILES.TXT");
  else
    where->writeFile(dir / "FILES.TXT", "the earlier index");
  where->writeFile(dir / "new", "the new index");
  files.rename(dir / "new", dir / "FILES.TXT");
  EXPECT_EQ(where->readFile(dir / "FILES.TXT"), "the new index");
  EXPECT_EQ(files.status(dir / "FILES.TXT").type, FileType::Regular);
  EXPECT_EQ(where->readFile(dir / "source.sms"), "the user's ROM");

  EXPECT_TRUE(files.removeFile(dir / "FILES.TXT"));
  EXPECT_FALSE(files.removeFile(dir / "FILES.TXT"));
  files.makeDirectory(dir / "ROMS0");
  files.removeDirectory(dir / "ROMS0");
  EXPECT_FALSE(exists(files, dir / "ROMS0"));
}

TEST_P(FileSystemConformance, DirectoriesAreMadeOnceAndChecked) {
  files.makeDirectory(dir / "ROMS0");
  const FileStatus made = files.status(dir / "ROMS0", Look::Access);
  EXPECT_EQ(made.type, FileType::Directory);
  EXPECT_FALSE(made.accessDenied);

  auto twice = errorOf([&] { files.makeDirectory(dir / "ROMS0"); });
  ASSERT_TRUE(twice);
  EXPECT_EQ(twice->number(), ErrorNumber::PathFileAccessError);
  expectReason(*twice, "File exists");

  auto orphan = errorOf([&] { files.makeDirectory(dir / "none/ROMS0"); });
  ASSERT_TRUE(orphan);
  EXPECT_EQ(orphan->number(), ErrorNumber::PathNotFound);
  EXPECT_EQ(orphan->path(), dir / "none/ROMS0");

  where->writeFile(dir / "plain", "");
  auto notDirectory = errorOf([&] { files.status(dir / "plain/ROMS0"); });
  ASSERT_TRUE(notDirectory);
  EXPECT_EQ(notDirectory->number(), ErrorNumber::PathNotFound);
  expectReason(*notDirectory, "Not a directory");

  EXPECT_EQ(files.status(dir / "ROMS2").type, FileType::Missing);
  EXPECT_EQ(files.status(dir / "none/ROMS2").type, FileType::Missing);
  EXPECT_EQ(files.status(dir / "plain").type, FileType::Regular);
  EXPECT_EQ(files.status(dir / "plain").links, 1u);
  if (!where->posixSemantics()) return;
  // Anything at a name counts, a dangling link too, since mkdir would fail.
  where->makeLink("nowhere", dir / "ROMS1");
  EXPECT_EQ(files.status(dir / "ROMS1").type, FileType::SymbolicLink);
  if (where->onDisk()) {
    EXPECT_EQ(files.status("/dev/null").type, FileType::Other);
  }
}

TEST_P(FileSystemConformance, ADirectoryIsClaimedByOneHolderAtATime) {
  auto first = files.lockDirectory(dir.path());
  auto refused = errorOf([&] { files.lockDirectory(dir.path()); });
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->path(), dir.path());
  EXPECT_EQ(refused->reason(), "Another export is writing to this folder");
  first.reset();
  EXPECT_NE(files.lockDirectory(dir.path()), nullptr);
}

TEST_P(FileSystemConformance, WatchingAVolumeNeedsItsDirectory) {
  auto error = errorOf([&] { files.watchVolume(dir / "none"); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::PathNotFound);
  EXPECT_EQ(error->path(), dir / "none");
  auto volume = files.watchVolume(dir.path());
  volume->sync();
  files.syncDirectory(dir.path());
}

// Each primitive refused as the host refuses it: the same number, path and
// reason, a file's path or a directory's as the host names it.
TEST_P(FileSystemConformance, RefusalsAreTheHostsRunTimeErrors) {
  where->makeDirectories(dir / "full/inner");
  where->makeDirectories(dir / "empty");
  where->writeFile(dir / "file", "bytes");
  const auto before = where->snapshot(dir.path());
  const bool links = where->posixSemantics();
  if (links) {
    where->makeLink("loop2", dir / "loop1");  // (which a snapshot of the disk cannot follow)
    where->makeLink("loop1", dir / "loop2");
  }
  using Call = std::function<void(FileSystem&, const std::string&)>;
  const struct {
    const char* what;
    Call call;
    ErrorNumber number;
    std::string path, reason;
  } cases[] = {
      {"removing a folder that holds something",
       [](FileSystem& f, const std::string& d) { f.removeDirectory(d + "/full"); },
       ErrorNumber::PathFileAccessError, "full", "Directory not empty"},
      {"removing a file as a folder",
       [](FileSystem& f, const std::string& d) { f.removeDirectory(d + "/file"); },
       ErrorNumber::PathNotFound, "file", "Not a directory"},
      {"removing a missing folder",
       [](FileSystem& f, const std::string& d) { f.removeDirectory(d + "/none"); },
       ErrorNumber::PathNotFound, "none", "No such file or directory"},
      {"removing a folder as a file",
       [](FileSystem& f, const std::string& d) { f.removeFile(d + "/empty"); },
       ErrorNumber::PathFileAccessError, "empty", "Is a directory"},
      {"renaming what is not there",
       [](FileSystem& f, const std::string& d) { f.rename(d + "/none", d + "/new"); },
       ErrorNumber::FileNotFound, "new", "No such file or directory"},
      {"renaming a file over a folder",
       [](FileSystem& f, const std::string& d) { f.rename(d + "/file", d + "/empty"); },
       ErrorNumber::PathFileAccessError, "empty", "Is a directory"},
      {"renaming a folder over a file",
       [](FileSystem& f, const std::string& d) { f.rename(d + "/empty", d + "/file"); },
       ErrorNumber::PathNotFound, "file", "Not a directory"},
      {"renaming a folder over one that holds something",
       [](FileSystem& f, const std::string& d) { f.rename(d + "/empty", d + "/full"); },
       ErrorNumber::PathFileAccessError, "full", "Directory not empty"},
      {"renaming a folder into itself",
       [](FileSystem& f, const std::string& d) { f.rename(d + "/full", d + "/full/inner/x"); },
       ErrorNumber::PathFileAccessError, "full/inner/x", "Invalid argument"},
      {"listing a file", [](FileSystem& f, const std::string& d) { f.listDirectory(d + "/file"); },
       ErrorNumber::PathNotFound, "file", "Not a directory"},
      {"listing a missing folder",
       [](FileSystem& f, const std::string& d) { f.listDirectory(d + "/none", Listing::Types); },
       ErrorNumber::PathNotFound, "none", "No such file or directory"},
      {"claiming a missing folder",
       [](FileSystem& f, const std::string& d) { f.lockDirectory(d + "/none"); },
       ErrorNumber::PathNotFound, "none", "No such file or directory"},
      {"opening a file as a folder",
       [](FileSystem& f, const std::string& d) { f.openDirectory(d + "/file"); },
       ErrorNumber::PathNotFound, "file", "Not a directory"},
      {"the volume of a missing folder",
       [](FileSystem& f, const std::string& d) { f.volume(d + "/none"); },
       ErrorNumber::PathNotFound, "none", "No such file or directory"},
      {"flushing a missing folder",
       [](FileSystem& f, const std::string& d) { f.syncDirectory(d + "/none"); },
       ErrorNumber::PathNotFound, "none", "No such file or directory"},
      {"a name longer than the volume takes",
       [](FileSystem& f, const std::string& d) { f.createNew(d + "/" + std::string(256, 'n')); },
       ErrorNumber::BadFileName, std::string(256, 'n'), "File name too long"},
      {"a file in a file", [](FileSystem& f, const std::string& d) { f.createNew(d + "/file/x"); },
       ErrorNumber::PathNotFound, "file/x", "Not a directory"},
      {"links that lead to each other",
       [](FileSystem& f, const std::string& d) { f.status(d + "/loop1", Look::Target); },
       ErrorNumber::PathFileAccessError, "loop1", "Too many levels of symbolic links"},
      {"a copy into a missing folder",
       [](FileSystem& f, const std::string& d) { copyFile(f, d + "/file", d + "/none/copy"); },
       ErrorNumber::PathNotFound, "none", "No such file or directory"},
  };
  for (const auto& c : cases) {
    if (!links && c.path == "loop1") continue;
    SCOPED_TRACE(c.what);
    const auto error = errorOf([&] { c.call(files, dir.path()); });
    ASSERT_TRUE(error);
    EXPECT_EQ(error->number(), c.number);
    EXPECT_EQ(error->path(), dir / c.path);
    expectReason(*error, c.reason);
  }
  where->removeAll(dir / "loop1");
  where->removeAll(dir / "loop2");
  EXPECT_EQ(where->snapshot(dir.path()), before) << "a refused call changes nothing";
}

// A listing is sorted by the names' bytes and says what each entry is: as
// it stands, or where its links lead.
TEST_P(FileSystemConformance, AListingIsSortedAndTellsWhatEachEntryIs) {
  where->makeDirectories(dir / "in/folder");
  where->writeFile(dir / "in/b.sms", "rom");
  where->writeFile(dir / "in/Z.gg", "rom");
  std::vector<std::pair<std::string, FileType>> statuses = {
      {"Z.gg", FileType::Regular}, {"b.sms", FileType::Regular}, {"folder", FileType::Directory}};
  if (where->posixSemantics()) {
    where->makeFifo(dir / "in/a pipe");
    where->makeLink("folder", dir / "in/link");
    where->makeLink("none", dir / "in/dangling");
    statuses = {{"Z.gg", FileType::Regular},     {"a pipe", FileType::Other},
                {"b.sms", FileType::Regular},    {"dangling", FileType::SymbolicLink},
                {"folder", FileType::Directory}, {"link", FileType::SymbolicLink}};
  }
  for (const Listing listing : {Listing::Statuses, Listing::Types}) {
    const auto entries = files.listDirectory(dir / "in", listing);
    ASSERT_EQ(entries.size(), statuses.size());
    for (std::size_t i = 0; i < entries.size(); ++i) {
      EXPECT_EQ(entries[i].name, statuses[i].first);
      FileType type = statuses[i].second;
      if (listing == Listing::Types && type == FileType::SymbolicLink)
        type = statuses[i].first == "link" ? FileType::Directory : FileType::Missing;
      EXPECT_EQ(entries[i].status.type, type) << statuses[i].first;
    }
  }
  if (where->posixSemantics()) {
    EXPECT_EQ(files.listDirectory(dir / "in/link").size(), 0u) << "a link to a folder is followed";
  }
}

// A file is the same file under each of its hard links, and another file is
// not, whatever its bytes and times; every change is a later change time.
TEST_P(FileSystemConformance, IdentitiesLinksAndTimesAreTheHosts) {
  where->writeFile(dir / "rom", "bytes");
  where->writeFile(dir / "twin", "bytes");
  where->makeHardLink(dir / "rom", dir / "linked");
  const FileStatus rom = files.status(dir / "rom");
  EXPECT_EQ(rom.links, 2u);
  EXPECT_TRUE(rom.sameFileAs(files.status(dir / "linked")));
  EXPECT_FALSE(rom.sameFileAs(files.status(dir / "twin")));
  EXPECT_EQ(files.status(dir / "twin").device, rom.device);
  EXPECT_TRUE(files.removeFile(dir / "linked"));
  const FileStatus unlinked = files.status(dir / "rom");
  EXPECT_EQ(unlinked.links, 1u);
  EXPECT_GE(std::pair(unlinked.changedSeconds, unlinked.changedNanoseconds),
            std::pair(rom.changedSeconds, rom.changedNanoseconds));
  where->setModified(dir / "rom", 1'000'000'000, 500);
  const FileStatus dated = files.status(dir / "rom");
  EXPECT_EQ(std::pair(dated.modifiedSeconds, dated.modifiedNanoseconds),
            std::pair(std::int64_t{1'000'000'000}, 500 / where->timeGrain() * where->timeGrain()));
  EXPECT_GT(dated.changedSeconds, dated.modifiedSeconds);
  where->makeDirectories(dir / "parent/child");
  if (where->posixSemantics()) {
    EXPECT_EQ(files.status(dir / "parent").links, 3u);
  }
}

// What this process may not use is said when asked (root may use anything,
// so on the disk this is checked only for others).
TEST_P(FileSystemConformance, AccessDeniedIsToldAndRefused) {
  if (!where->deniesAccess()) GTEST_SKIP() << "root or Wine: permissions do not hold";
  where->writeFile(dir / "rom", "bytes");
  where->makeDirectories(dir / "locked");
  where->denyAccess(dir / "rom");
  where->denyAccess(dir / "locked");
  for (const char* name : {"rom", "locked"}) {
    const FileStatus status = files.status(dir / name, Look::Access);
    ASSERT_TRUE(status.accessDenied) << name;
    EXPECT_EQ(status.accessDenied->number(), ErrorNumber::PermissionDenied);
    EXPECT_EQ(status.accessDenied->path(), dir / name);
    EXPECT_EQ(status.accessDenied->reason(), "Permission denied");
  }
  const auto unreadable = errorOf([&] { files.openForReading(dir / "rom"); });
  ASSERT_TRUE(unreadable);
  EXPECT_EQ(unreadable->reason(), "Permission denied");
  const auto unwritable = errorOf([&] { files.createNew(dir / "locked/new"); });
  ASSERT_TRUE(unwritable);
  EXPECT_EQ(unwritable->reason(), "Permission denied");
}

}  // namespace
}  // namespace kavo::testing
