#include "export/rom_set_export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <functional>
#include <map>

#include "export/rom_layout.h"
#include "platform/forwarding_file_system.h"
#include "platform/posix_file_system.h"
#include "platform/run_time_error.h"
#include "support/scripted_dialogs.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::readFile;
using testing::snapshot;
using testing::TempDirectory;
using testing::writeFile;
using Tree = std::map<std::string, std::string>;

// The bytes of a ROM file, different for every name.
std::string romBytes(const std::string& name) { return "rom:" + name + std::string(100, '\x01'); }

class RomSetExportTest : public ::testing::Test {
 protected:
  RomSetExportTest() {
    testing::makeDirectories(source);
    testing::makeDirectories(destination);
  }

  void addRoms(const std::vector<std::string>& names) {
    for (const std::string& name : names) writeFile(source + "/" + name, romBytes(name));
  }

  ExportRequest request(std::vector<std::string> names) {
    return ExportRequest{destination, source, std::move(names)};
  }

  ExportOutcome run(const std::vector<std::string>& names, std::string answer) {
    dialogs.answers.push_back(std::move(answer));
    return exportRomSet(request(names), host);
  }

  // Runs an export that must fail, and returns its error.
  RunTimeError failingRun(const std::vector<std::string>& names, std::string answer) {
    try {
      run(names, std::move(answer));
    } catch (const RunTimeError& error) {
      return error;
    }
    ADD_FAILURE() << "the export did not fail";
    return RunTimeError(ErrorNumber::InternalError, {}, {});
  }

  void expectNoSuccessReported() {
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(programEnd.ends, 0);
  }

  std::string defaultAnswer() const { return destination + "/FILES.TXT"; }

  TempDirectory root;
  const std::string source = root / "roms";
  const std::string destination = root / "usb";
  PosixFileSystem files;
  testing::ScriptedDialogs dialogs;
  testing::RecordingProgramEnd programEnd;
  Host host{files, dialogs, programEnd};
};

TEST_F(RomSetExportTest, WorkedExampleEndToEnd) {
  addRoms({"Alpha.sms", "Beta Game.gg"});
  EXPECT_EQ(run({"Alpha.sms", "Beta Game.gg"}, defaultAnswer()), ExportOutcome::Completed);

  ASSERT_EQ(dialogs.prompts.size(), 1u);
  EXPECT_EQ(dialogs.prompts[0].title, "Save FILES.TXT");
  EXPECT_EQ(dialogs.prompts[0].prompt, "Where would you like FILES.TXT to be saved?  ie. C:\\");
  EXPECT_EQ(dialogs.prompts[0].proposed, destination + "/FILES.TXT");

  const std::string index =
      "Alpha.sms,ROMS0\\0.sms\nBeta Game.gg,ROMS0\\1.gg\n  ";
  EXPECT_EQ(index.size(), 48u);
  EXPECT_EQ(snapshot(destination), (Tree{{"FILES.TXT", index},
                                         {"ROMS0", "<dir>"},
                                         {"ROMS0/0.SMS", romBytes("Alpha.sms")},
                                         {"ROMS0/1.GG", romBytes("Beta Game.gg")}}));

  ASSERT_EQ(dialogs.messages.size(), 1u);
  EXPECT_EQ(dialogs.messages[0].text, "Completed Successfully!  Press OK to exit");
  EXPECT_EQ(dialogs.messages[0].title, "");
  EXPECT_EQ(programEnd.ends, 1);
}

TEST_F(RomSetExportTest, GroupsOfThirtyWithALastEmptyGroupOnMultiples) {
  struct Case {
    std::size_t count;
    std::vector<std::size_t> filesPerGroup;
  };
  const Case cases[] = {{0, {0}}, {30, {30, 0}}, {31, {30, 1}}, {60, {30, 30, 0}}};
  for (const Case& c : cases) {
    TempDirectory scratch;
    ExportRequest job{scratch / "out", source, {}};
    testing::makeDirectories(job.destination);
    std::string expectedRecords;
    for (std::size_t j = 0; j < c.count; ++j) {
      std::string name = "Game " + std::to_string(j) + ".sms";
      job.names.push_back(name);
      expectedRecords += layout::record(name, j);
    }
    addRoms(job.names);
    dialogs.answers.push_back(job.destination + "/FILES.TXT");
    ASSERT_EQ(exportRomSet(job, host), ExportOutcome::Completed);

    Tree tree = snapshot(job.destination);
    std::vector<std::size_t> filesPerGroup;
    for (std::size_t group = 0; tree.count("ROMS" + std::to_string(group)); ++group) {
      std::size_t files = 0;
      for (std::size_t j = 0; j < c.count; ++j) {
        std::string copy = "ROMS" + std::to_string(group) + "/" + std::to_string(j) + ".SMS";
        if (tree.count(copy)) {
          ++files;
          EXPECT_EQ(tree[copy], romBytes(job.names[j]));
          EXPECT_EQ(group, j / 30);
        }
      }
      filesPerGroup.push_back(files);
    }
    EXPECT_EQ(filesPerGroup, c.filesPerGroup) << c.count << " names";
    EXPECT_EQ(tree.size(), 1 + c.filesPerGroup.size() + c.count) << "nothing else is made";
    std::string padding(layout::paddingLength(expectedRecords.size()), ' ');
    EXPECT_EQ(tree["FILES.TXT"], expectedRecords + padding);
  }
  EXPECT_EQ(programEnd.ends, 4);
}

// Records the copies instead of making them: forty thousand real copies
// would time the disk rather than test the count.
class RecordingCopies final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  std::vector<std::pair<std::string, std::string>> copies;
  void copyFile(const std::string& from, const std::string& to) override {
    copies.emplace_back(from, to);
  }
};

TEST_F(RomSetExportTest, FortyThousandNamesAreAllExported) {
  std::vector<std::string> names;
  for (int j = 0; j < 40'000; ++j) names.push_back("Game " + std::to_string(j) + ".gg");
  RecordingCopies recording(files);
  Host recordingHost{recording, dialogs, programEnd};
  dialogs.answers.push_back(defaultAnswer());
  ASSERT_EQ(exportRomSet(request(names), recordingHost), ExportOutcome::Completed);

  ASSERT_EQ(recording.copies.size(), 40'000u);
  EXPECT_EQ(recording.copies.back(),
            std::make_pair(source + "/Game 39999.gg", destination + "/ROMS1333/39999.GG"));
  std::string index = readFile(destination + "/FILES.TXT");
  EXPECT_EQ(std::count(index.begin(), index.end(), '\n'), 40'000);
  EXPECT_NE(index.find("\nGame 39999.gg,ROMS1333\\39999.gg\n"), std::string::npos);
  EXPECT_EQ(index.size() % 16, 0u);
  EXPECT_TRUE(files.exists(destination + "/ROMS1333"));
  EXPECT_FALSE(files.exists(destination + "/ROMS1334"));
  EXPECT_EQ(programEnd.ends, 1);
}

TEST_F(RomSetExportTest, NamesAreBytesOnDiskAndWindows1252InTheIndex) {
  const std::vector<std::string> names = {"Caf\u00e9.sms", "\xff\xfe.gg", "README"};
  addRoms(names);
  ASSERT_EQ(run(names, defaultAnswer()), ExportOutcome::Completed);
  EXPECT_EQ(readFile(destination + "/ROMS0/0.SMS"), romBytes(names[0]));
  EXPECT_EQ(readFile(destination + "/ROMS0/1.GG"), romBytes(names[1]));
  EXPECT_EQ(readFile(destination + "/ROMS0/2README"), romBytes(names[2]));
  EXPECT_EQ(readFile(destination + "/FILES.TXT"),
            "Caf\xe9.sms,ROMS0\\0.sms\n\xff\xfe.gg,ROMS0\\1.gg\nREADME,ROMS0\\2README\n"
            "     ");  // 59 bytes of records, 5 spaces
}

TEST_F(RomSetExportTest, AnEmptyAnswerChangesNothing) {
  addRoms({"Alpha.sms"});
  writeFile(destination + "/FILES.TXT", "an earlier index");
  Tree before = snapshot(root.path());
  EXPECT_EQ(run({"Alpha.sms"}, ""), ExportOutcome::Cancelled);
  EXPECT_EQ(snapshot(root.path()), before);
  expectNoSuccessReported();
}

TEST_F(RomSetExportTest, ARootDestinationProposesADoubledSlash) {
  dialogs.answers.push_back("");
  exportRomSet(ExportRequest{"/", source, {}}, host);
  EXPECT_EQ(dialogs.prompts.at(0).proposed, "//FILES.TXT");
}

TEST_F(RomSetExportTest, TheAnswersFileNameIsUpperCasedItsDirectoryKept) {
  addRoms({"Alpha.sms"});
  testing::makeDirectories(root / "Index Here");
  ASSERT_EQ(run({"Alpha.sms"}, root / "Index Here/files.txt"), ExportOutcome::Completed);
  EXPECT_EQ(snapshot(root / "Index Here"),
            (Tree{{"FILES.TXT", "Alpha.sms,ROMS0\\0.sms\n" + std::string(10, ' ')}}));
  EXPECT_FALSE(files.exists(destination + "/FILES.TXT"));
}

TEST(RomSetExportRefusal, RefusedBeforeWritingLeavesEverythingAsItWas) {
  // Paths are relative to a fresh folder holding "roms" and "usb".
  struct Case {
    std::string what;
    std::function<void(const std::string& root)> arrange;
    std::vector<std::string> names;
    std::string answer;
    ErrorNumber number;
    std::string path;
    std::string reason;
  };
  const std::vector<std::string> three = {"Alpha.sms", "Beta Game.gg", "Gamma.sms"};
  const std::vector<std::string> thirtyOne(31, "Alpha.sms");
  const auto nothing = [](const std::string&) {};
  const Case cases[] = {
      {"the answer's directory is missing", nothing, three, "usb/missing/FILES.TXT",
       ErrorNumber::PathNotFound, "usb/missing/FILES.TXT", "No such file or directory"},
      {"the answer names a directory",
       [](const std::string& root) { testing::makeDirectories(root + "/usb/OLD"); },
       three, "usb/old", ErrorNumber::PathFileAccessError, "usb/OLD", "Is a directory"},
      {"ROMS0 exists",
       [](const std::string& root) { testing::makeDirectories(root + "/usb/ROMS0"); },
       three, "usb/FILES.TXT", ErrorNumber::PathFileAccessError, "usb/ROMS0",
       "File exists"},
      {"the last group's directory exists",
       [](const std::string& root) { testing::makeDirectories(root + "/usb/ROMS1"); },
       thirtyOne, "usb/FILES.TXT", ErrorNumber::PathFileAccessError, "usb/ROMS1",
       "File exists"},
      {"the destination is gone",
       [](const std::string& root) { std::filesystem::remove_all(root + "/usb"); },
       three, "FILES.TXT", ErrorNumber::PathNotFound, "usb", "No such file or directory"},
      {"a name holds a line break",
       [](const std::string& root) { writeFile(root + "/roms/Bad\nName.sms", ""); },
       {"Alpha.sms", "Bad\nName.sms"}, "usb/FILES.TXT", ErrorNumber::BadFileName,
       "roms/Bad\nName.sms", "File name contains a line break"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempDirectory root;
    testing::makeDirectories(root / "roms");
    testing::makeDirectories(root / "usb");
    for (const std::string& name : three) writeFile(root / ("roms/" + name), romBytes(name));
    writeFile(root / "usb/FILES.TXT", "the index of an earlier export");
    writeFile(root / "FILES.TXT", "another earlier index");
    c.arrange(root.path());
    const Tree before = snapshot(root.path());

    PosixFileSystem files;
    testing::ScriptedDialogs dialogs;
    testing::RecordingProgramEnd programEnd;
    Host host{files, dialogs, programEnd};
    dialogs.answers.push_back(root / c.answer);
    try {
      exportRomSet(ExportRequest{root / "usb", root / "roms", c.names}, host);
      ADD_FAILURE() << "the export did not fail";
    } catch (const RunTimeError& error) {
      EXPECT_EQ(error.number(), c.number);
      EXPECT_EQ(error.path(), root / c.path);
      EXPECT_EQ(error.reason(), c.reason);
    }
    EXPECT_EQ(snapshot(root.path()), before) << "nothing is created or changed";
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(programEnd.ends, 0);
  }
}

TEST_F(RomSetExportTest, AMissingSourceStopsTheRunAfterTheFilesBeforeIt) {
  addRoms({"Alpha.sms", "Gamma.sms"});
  RunTimeError error = failingRun({"Alpha.sms", "Beta Game.gg", "Gamma.sms"}, defaultAnswer());
  EXPECT_EQ(error.number(), ErrorNumber::FileNotFound);
  EXPECT_EQ(error.path(), source + "/Beta Game.gg");
  EXPECT_EQ(snapshot(destination), (Tree{{"FILES.TXT", "Alpha.sms,ROMS0\\0.sms\n"},
                                         {"ROMS0", "<dir>"},
                                         {"ROMS0/0.SMS", romBytes("Alpha.sms")}}));
  expectNoSuccessReported();
}

TEST_F(RomSetExportTest, AFifoInTheListIsRefusedNotRead) {
  addRoms({"Alpha.sms"});
  ASSERT_EQ(::mkfifo((source + "/Pipe.sms").c_str(), 0600), 0);
  RunTimeError error = failingRun({"Alpha.sms", "Pipe.sms"}, defaultAnswer());
  EXPECT_EQ(error.path(), source + "/Pipe.sms");
  EXPECT_EQ(error.reason(), "Not a regular file");
  EXPECT_EQ(readFile(destination + "/FILES.TXT"), "Alpha.sms,ROMS0\\0.sms\n");
  expectNoSuccessReported();
}

TEST_F(RomSetExportTest, AFullDiskUnderTheIndexIsNeverReportedAsSuccess) {
  addRoms({"Alpha.sms"});
  ASSERT_EQ(::symlink("/dev/full", (destination + "/FILES.TXT").c_str()), 0);
  RunTimeError error = failingRun({"Alpha.sms"}, defaultAnswer());
  EXPECT_EQ(error.number(), ErrorNumber::DiskFull);
  EXPECT_EQ(error.path(), destination + "/FILES.TXT");
  EXPECT_EQ(error.reason(), "No space left on device");
  expectNoSuccessReported();
}

// Fails the flush of every volume it watches.
class FailingFlush final : public ForwardingFileSystem {
 public:
  using ForwardingFileSystem::ForwardingFileSystem;
  int watched = 0;
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override {
    struct Failing final : VolumeSync {
      std::string directory;
      void sync() override { throw errorFromErrno(EIO, directory); }
    };
    ++watched;
    target_.watchVolume(directory);
    auto failing = std::make_unique<Failing>();
    failing->directory = directory;
    return failing;
  }
};

TEST_F(RomSetExportTest, AFailedFlushIsAnErrorAndNoSuccess) {
  addRoms({"Alpha.sms"});
  FailingFlush failing(files);
  Host failingHost{failing, dialogs, programEnd};
  dialogs.answers.push_back(defaultAnswer());
  try {
    exportRomSet(request({"Alpha.sms"}), failingHost);
    ADD_FAILURE() << "the export did not fail";
  } catch (const RunTimeError& error) {
    EXPECT_EQ(error.number(), ErrorNumber::DeviceIoError);
    EXPECT_EQ(error.path(), destination);
  }
  EXPECT_GE(failing.watched, 1);
  // Everything was written; only the flush failed.
  EXPECT_EQ(readFile(destination + "/FILES.TXT").size(), 32u);
  expectNoSuccessReported();
}

}  // namespace
}  // namespace kavo
