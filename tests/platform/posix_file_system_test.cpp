#include "platform/posix_file_system.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <random>

#include "platform/run_time_error.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::readFile;
using testing::TempDirectory;
using testing::writeFile;

std::string randomBytes(std::size_t size) {
  std::mt19937 generator(7);
  std::string bytes(size, '\0');
  for (char& byte : bytes) byte = static_cast<char>(generator());
  return bytes;
}

// Runs the call and returns the error it raised.
RunTimeError errorOf(const std::function<void()>& call) {
  try {
    call();
  } catch (const RunTimeError& error) {
    return error;
  }
  ADD_FAILURE() << "no run-time error was raised";
  return RunTimeError(ErrorNumber::InternalError, {}, {});
}

class PosixFileSystemTest : public ::testing::Test {
 protected:
  TempDirectory dir;
  PosixFileSystem files;
};

TEST_F(PosixFileSystemTest, CopiesBytesExactlyAndReplacesATarget) {
  const std::string contents[] = {"", "x", std::string("a\0b\r\n", 5),
                                  randomBytes(3 * 1024 * 1024 + 17)};
  for (const std::string& bytes : contents) {
    writeFile(dir / "from", bytes);
    writeFile(dir / "to", std::string(4 * 1024 * 1024, 'z'));
    files.copyFile(dir / "from", dir / "to");
    EXPECT_EQ(readFile(dir / "to"), bytes) << bytes.size() << " bytes";
  }
}

TEST_F(PosixFileSystemTest, CopiesThroughASymlinkToARegularFile) {
  writeFile(dir / "real.sms", "rom");
  ASSERT_EQ(::symlink("real.sms", (dir / "link.sms").c_str()), 0);
  files.copyFile(dir / "link.sms", dir / "copy");
  EXPECT_EQ(readFile(dir / "copy"), "rom");
}

TEST_F(PosixFileSystemTest, RefusesSourcesThatAreNotRegularFilesWithoutReading) {
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  ::mkdir((dir / "folder").c_str(), 0700);
  ASSERT_EQ(::symlink("nowhere", (dir / "dangling").c_str()), 0);
  struct Case {
    std::string source;
    ErrorNumber number;
    std::string reason;
  };
  const Case cases[] = {
      {dir / "fifo", ErrorNumber::PathFileAccessError, "Not a regular file"},
      {dir / "folder", ErrorNumber::PathFileAccessError, "Not a regular file"},
      {"/dev/zero", ErrorNumber::PathFileAccessError, "Not a regular file"},
      {dir / "missing", ErrorNumber::FileNotFound, "No such file or directory"},
      {dir / "dangling", ErrorNumber::FileNotFound, "No such file or directory"},
  };
  for (const Case& c : cases) {
    RunTimeError error = errorOf([&] { files.copyFile(c.source, dir / "copy"); });
    EXPECT_EQ(error.number(), c.number) << c.source;
    EXPECT_EQ(error.path(), c.source);
    EXPECT_EQ(error.reason(), c.reason);
    EXPECT_FALSE(files.exists(dir / "copy")) << c.source;
  }
}

TEST_F(PosixFileSystemTest, OutputTruncatesAppendAddsAndPrintAddsNoLineEnd) {
  writeFile(dir / "index", "old contents that must go");
  auto output = files.openForOutput(dir / "index");
  output->print("a,ROMS0\\0.a\n");
  output->print(std::string("\0\xff", 2));
  output->close();
  EXPECT_EQ(files.fileLength(dir / "index"), 14u);

  auto append = files.openForAppend(dir / "index");
  append->print(" ");
  append->print(" ");
  append->close();
  EXPECT_EQ(readFile(dir / "index"), std::string("a,ROMS0\\0.a\n\0\xff  ", 16));
}

TEST_F(PosixFileSystemTest, OpeningFailuresNameThePathAndTheReason) {
  ::mkdir((dir / "FOLDER").c_str(), 0700);
  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  struct Case {
    std::string path;
    ErrorNumber number;
    std::string reason;
  };
  const Case cases[] = {
      {dir / "missing/FILES.TXT", ErrorNumber::PathNotFound, "No such file or directory"},
      {dir / "FOLDER", ErrorNumber::PathFileAccessError, "Is a directory"},
      {dir / "FOLDER/", ErrorNumber::PathFileAccessError, "Is a directory"},
      // A FIFO with no reader must not hang the program.
      {dir / "fifo", ErrorNumber::DeviceUnavailable, "No such device or address"},
  };
  for (const Case& c : cases) {
    for (bool append : {false, true}) {
      RunTimeError error = errorOf([&] {
        append ? files.openForAppend(c.path) : files.openForOutput(c.path);
      });
      EXPECT_EQ(error.number(), c.number) << c.path;
      EXPECT_EQ(error.path(), c.path);
      EXPECT_EQ(error.reason(), c.reason) << c.path;
    }
  }
}

TEST_F(PosixFileSystemTest, AFullDeviceFailsThePrint) {
  auto full = files.openForOutput("/dev/full");
  RunTimeError error = errorOf([&] { full->print("record\n"); });
  EXPECT_EQ(error.number(), ErrorNumber::DiskFull);
  EXPECT_EQ(error.path(), "/dev/full");
  EXPECT_EQ(error.reason(), "No space left on device");
}

TEST_F(PosixFileSystemTest, DirectoriesAreMadeOnceAndChecked) {
  files.makeDirectory(dir / "ROMS0");
  files.requireDirectory(dir / "ROMS0");
  EXPECT_TRUE(files.exists(dir / "ROMS0"));

  RunTimeError twice = errorOf([&] { files.makeDirectory(dir / "ROMS0"); });
  EXPECT_EQ(twice.number(), ErrorNumber::PathFileAccessError);
  EXPECT_EQ(twice.reason(), "File exists");

  RunTimeError orphan = errorOf([&] { files.makeDirectory(dir / "none/ROMS0"); });
  EXPECT_EQ(orphan.number(), ErrorNumber::PathNotFound);
  EXPECT_EQ(orphan.path(), dir / "none/ROMS0");

  writeFile(dir / "plain", "");
  RunTimeError notDirectory = errorOf([&] { files.requireDirectory(dir / "plain"); });
  EXPECT_EQ(notDirectory.number(), ErrorNumber::PathNotFound);
  EXPECT_EQ(notDirectory.reason(), "Not a directory");
  RunTimeError missing = errorOf([&] { files.requireDirectory(dir / "none"); });
  EXPECT_EQ(missing.number(), ErrorNumber::PathNotFound);

  // Anything at a name counts, a dangling link too, since mkdir would fail.
  ASSERT_EQ(::symlink("nowhere", (dir / "ROMS1").c_str()), 0);
  EXPECT_TRUE(files.exists(dir / "ROMS1"));
  EXPECT_FALSE(files.exists(dir / "ROMS2"));
}

TEST_F(PosixFileSystemTest, WatchingAVolumeNeedsItsDirectory) {
  RunTimeError error = errorOf([&] { files.watchVolume(dir / "none"); });
  EXPECT_EQ(error.number(), ErrorNumber::PathNotFound);
  EXPECT_EQ(error.path(), dir / "none");
  auto volume = files.watchVolume(dir.path());
  volume->sync();
}

}  // namespace
}  // namespace kavo
