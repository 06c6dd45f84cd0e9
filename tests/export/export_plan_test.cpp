// What the plan decides before anything is written: which earlier copies a
// replace can move instead of copying.
#include "export/export_plan.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "export/rom_set_export.h"
#include "support/export_fixture.h"
#include "support/mounted_volume.h"

namespace kavo {
namespace {

using testing::ExportFixture;
using testing::games;
using testing::Names;
using testing::writeFile;

void setModified(const std::string& path, std::time_t seconds, long nanoseconds = 0) {
  const struct timespec times[2] = {{seconds, nanoseconds}, {seconds, nanoseconds}};
  ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

// The one predicate: the size first, then the bytes when asked, else the
// time as the copy's volume keeps it.
TEST_F(ExportFixture, AnEarlierCopyIsStillRightBySizeThenBytesOrTime) {
  writeFile(source + "/rom", "the bytes");
  writeFile(destination + "/copy", "the bytes");
  writeFile(destination + "/other", "the BYTES");
  setModified(source + "/rom", 1'700'000'000, 500'000'000);
  setModified(destination + "/copy", 1'700'000'001, 400'000'000);
  const FileStatus rom = files.status(source + "/rom");
  const struct {
    const char* copy;
    std::uint64_t size;
    bool compareBytes;
    std::int64_t granularity;
    bool right;
  } cases[] = {
      {"copy", 9, false, 1, false},              // 0.9 s apart, kept to the nanosecond
      {"copy", 9, false, 2'000'000'000, true},   // within FAT's 2 s
      {"copy", 8, false, 2'000'000'000, false},  // another size
      {"copy", 9, true, 1, true},                // the same bytes, whatever the time
      {"other", 9, true, 2'000'000'000, false},  // other bytes
  };
  for (const auto& c : cases) {
    FileStatus copy = files.status(destination + "/" + c.copy);
    copy.size = c.size;
    EXPECT_EQ(earlierCopyStillRight(files, destination + "/" + c.copy, copy, source + "/rom", rom,
                                    c.compareBytes, c.granularity),
              c.right)
        << c.copy << " " << c.size << " " << c.compareBytes << " " << c.granularity;
  }
}

// On the file system of players' USB drives, which keeps times in steps of
// 2 s: copies made there are recognised as unchanged, and a changed source
// is not. Only the plan is made here: the FUSE stand-in for FAT32 loses a
// renamed directory's contents, so the swap is tested on the local disk.
TEST_F(ExportFixture, OnFat32UnchangedCopiesAreRecognisedWithinTwoSeconds) {
  const std::string usb = root / "fat";
  testing::makeDirectories(usb);
  auto volume = testing::MountedVolume::fat32(usb, root / "fat.img", 64);
  if (!volume.mounted()) GTEST_SKIP() << volume.why();
  EXPECT_EQ(files.volume(usb).timeGranularity, 2'000'000'000);
  const Names names = games(0, 35);
  addRoms(names);
  // Times that FAT cannot keep as they are: odd seconds and fractions.
  for (std::size_t j = 0; j < names.size(); ++j)
    setModified(source + "/" + names[j], 1'700'000'001 + static_cast<std::time_t>(j), 999'999'999);
  exportRomSet(request(names, false, usb), files);
  setModified(source + "/Game 007.sms", 1'700'000'100);

  const ExportRequest replace = request(names, true, usb);
  DirectoryClaims claims;
  const ExportPlan plan = planExport(replace, files, claims);
  EXPECT_TRUE(plan.staged);
  EXPECT_EQ(plan.reused, names.size() - 1);
  EXPECT_TRUE(plan.copies[7].reusedFrom.empty());
  EXPECT_EQ(plan.copies[8].reusedFrom, usb + "/ROMS0/8.SMS");
}

}  // namespace
}  // namespace kavo
