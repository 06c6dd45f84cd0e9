// Fails every file operation of an export in turn and checks what the user is
// promised: an error naming the path and the reason, never a success, index
// records for copied files only, and every file that was there before left
// as it was.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <iostream>

#include "export/rom_layout.h"
#include "export/rom_set_export.h"
#include "platform/posix_file_system.h"
#include "platform/run_time_error.h"
#include "support/fault_injecting_file_system.h"
#include "support/scripted_dialogs.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::FaultInjectingFileSystem;
using testing::Service;
using testing::TempDirectory;
using testing::readFile;
using testing::snapshot;
using testing::writeFile;

constexpr int kRomCount = 65;  // three groups, the last one partly filled

struct RomFolder {
  TempDirectory root;
  std::string source = root / "roms";
  std::vector<std::string> names;
  std::string allRecords;

  RomFolder() {
    testing::makeDirectories(source);
    for (int i = 0; i < kRomCount; ++i) {
      names.push_back("Game " + std::to_string(i) + (i % 2 ? ".sms" : ".gg"));
      writeFile(source + "/" + names.back(), "rom " + names.back());
    }
  }

  // How many copies, from the first, are complete and exact.
  int completeCopies(const std::string& destination) const {
    int count = 0;
    for (const std::string& name : names) {
      const std::string copy = destination + "/" +
                               layout::groupDirectoryName(layout::groupNumberOf(count)) +
                               "/" + layout::copyFileName(name, count);
      if (!std::filesystem::exists(copy) || readFile(copy) != "rom " + name)
        break;
      ++count;
    }
    return count;
  }

  // The number of records the index holds, when it holds the first records
  // in order followed by nothing or (after all of them) padding spaces;
  // -1 when it holds anything else.
  int recordsIn(const std::string& index) const {
    std::string records;
    for (int r = 0;; ++r) {
      if (index.size() >= records.size() && index.compare(0, records.size(), records) == 0) {
        const std::string rest = index.substr(records.size());
        if (rest.empty()) return r;
        if (r == kRomCount && rest.find_first_not_of(' ') == std::string::npos &&
            rest.size() <= layout::paddingLength(records.size()))
          return r;
      }
      if (r == kRomCount) return -1;
      records += layout::record(names[r], r);
    }
  }
};

TEST(ExportFaultInjection, EveryFailingOperationIsReportedAndLosesNothing) {
  RomFolder folder;
  const auto sourceBefore = snapshot(folder.source);
  PosixFileSystem realFiles;
  int faultPoints = 0;

  for (Service service : testing::kAllServices) {
    for (int error : {ENOSPC, EIO, EACCES, ENOENT}) {
      for (int k = 1;; ++k) {
        SCOPED_TRACE(std::string(testing::nameOf(service)) + " call " +
                     std::to_string(k) + " fails with " + std::strerror(error));
        TempDirectory run;
        const std::string destination = run / "usb";
        testing::makeDirectories(destination);
        writeFile(destination + "/keep.txt", "the user's own file");

        FaultInjectingFileSystem files(realFiles, service, k, error);
        testing::ScriptedDialogs dialogs;
        testing::RecordingProgramEnd programEnd;
        Host host{files, dialogs, programEnd};
        dialogs.answers.push_back(destination + "/FILES.TXT");

        bool raised = false;
        try {
          exportRomSet({destination, folder.source, folder.names}, host);
        } catch (const RunTimeError& failure) {
          raised = true;
          EXPECT_FALSE(failure.path().empty());
          EXPECT_EQ(failure.reason(), std::strerror(error));
          EXPECT_NE(std::string(failure.what()).find(failure.path()), std::string::npos);
        }
        if (!files.injected()) {
          // Every call of the service has been failed once: this run is whole.
          EXPECT_FALSE(raised);
          EXPECT_EQ(programEnd.ends, 1);
          EXPECT_EQ(folder.completeCopies(destination), kRomCount);
          break;
        }
        ++faultPoints;
        EXPECT_TRUE(raised);
        EXPECT_TRUE(dialogs.messages.empty());
        EXPECT_EQ(programEnd.ends, 0);

        const int copies = folder.completeCopies(destination);
        const std::string indexPath = destination + "/FILES.TXT";
        const int records =
            std::filesystem::exists(indexPath) ? folder.recordsIn(readFile(indexPath)) : 0;
        // The copy is made before its record is printed, so a failed print
        // leaves the last copy without a record; otherwise they match.
        if (service == Service::Print && records < kRomCount)
          EXPECT_EQ(records, copies - 1);
        else
          EXPECT_EQ(records, copies);

        EXPECT_EQ(snapshot(folder.source), sourceBefore);
        EXPECT_EQ(readFile(destination + "/keep.txt"), "the user's own file");
        if (::testing::Test::HasFailure()) return;  // one clear report is enough
      }
    }
  }
  std::cout << "fault points injected: " << faultPoints << "\n";
  EXPECT_GT(faultPoints, 4 * (2 * kRomCount + 4));
}

}  // namespace
}  // namespace kavo
