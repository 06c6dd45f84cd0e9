// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What to do next, said after a refused or failed export: each case is a
// real refusal or failure, so that the reasons the checks give and the ones
// nextStep answers cannot drift apart.
#include "export/next_step.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/export_fixture.h"
#include "support/fault_injecting_file_system.h"
#include "support/watching_file_system.h"

namespace kavo::testing {
namespace {

using NextStepTest = ExportFixture;

TEST_F(NextStepTest, EachRefusalOrFailureSaysWhatToDoNext) {
  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string answer;  // "ROOT/" stands for the root's path
    bool replace;
    std::string nextStep;         // "ROOT/" as above
    std::uint64_t available = 0;  // the destination's free space, when not 0
    bool diskFullWhileCopying = false;
  };
  const Names names = {"Alpha.sms", "Beta.gg"};
  const std::string moveIt = "Move or delete it, then export again.";
  const auto nothing = [] {};
  const Case cases[] = {
      {"a file of the player's in a group folder",
       [&] {
         makeDirectories(destination + "/ROMS0");
         writeFile(destination + "/ROMS0/notes.txt", "mine");
       },
       "ROOT/usb/FILES.TXT", true, moveIt},
      {"a file named as a group folder", [&] { writeFile(destination + "/ROMS0", "mine"); },
       "ROOT/usb/FILES.TXT", true, moveIt},
      {"a folder where an interrupted export leaves its index",
       [&] { makeDirectories(destination + "/FILES.TXT.simplekavo-new"); }, "ROOT/usb/FILES.TXT",
       true, moveIt},
      {"another program's file under the manifest's name",
       [&] { writeFile(destination + "/KAVOSUMS.TXT", "my sums"); }, "ROOT/usb/FILES.TXT", true,
       moveIt},
      {"an answer that ends with a separator", nothing, "ROOT/usb/", false,
       "Give the full path of the file itself, such as /media/usb/FILES.TXT; in this folder, "
       "ROOT/usb/FILES.TXT."},
      {"an answer that names a folder", [&] { makeDirectories(destination + "/out"); },
       "ROOT/usb/out", false,
       "Give the full path of the file itself, such as /media/usb/FILES.TXT; in this folder, "
       "ROOT/usb/out/FILES.TXT."},
      {"an answer that names the root", nothing, "/", false,
       "Give the full path of the file itself, such as /media/usb/FILES.TXT; in this folder, "
       "/FILES.TXT."},
      {"the prompt's own example", nothing, "C:\\", false,
       "Export again and keep the path proposed, or type a full path of your own."},
      {"too little room, by one byte", nothing, "ROOT/usb/FILES.TXT", false,
       "Free at least 1 byte on that drive, or export fewer games.", 5 * 4096 - 1},
      {"too little room, by three blocks", nothing, "ROOT/usb/FILES.TXT", false,
       "Free at least 12,288 bytes (12 KiB) on that drive, or export fewer games.", 2 * 4096},
      {"a drive that fills up while it is written", nothing, "ROOT/usb/FILES.TXT", false,
       "Free some space on that drive, or export fewer games.", 0, true},
      {"a missing answer's folder: the message says it all", nothing, "ROOT/usb/missing/FILES.TXT",
       false, ""},
  };
  const auto rooted = [&](std::string text) {
    if (const auto at = text.find("/media/usb/FILES.TXT"); at != std::string::npos)
      text.replace(at, 20, kIndexPathExample);
    if (text.starts_with("ROOT/")) text.replace(0, 4, root.path());
    for (std::size_t at; (at = text.find(" ROOT/")) != std::string::npos;)
      text.replace(at + 1, 4, root.path());
    return text;
  };
  addRoms(names);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // On Windows "C:\\" is a full path, to a folder, and the root: the window's
    // test checks them under Wine.
    if (paths::kHost.driveLetters && (c.answer == "C:\\" || c.answer == "/")) continue;
    where->removeAll(destination);
    makeDirectories(destination);
    c.arrange();
    ExportRequest asked = request(names, c.replace);
    asked.indexPath = rooted(c.answer);
    // Two copies, a group folder, an index and a manifest take 5 blocks of
    // 4 KiB.
    WatchingFileSystem volume(files, {});
    volume.adjustVolume = [&](VolumeFacts& facts) {
      facts = {true, 4096, c.available ? c.available : 1u << 30};
    };
    FaultInjectingFileSystem full(volume, Service::Copy, c.diskFullWhileCopying ? 1 : 1'000'000,
                                  HostError::NoSpace);
    const std::optional<ExportFailure> error = failure(asked, full);
    ASSERT_TRUE(error);
    EXPECT_EQ(nextStep(*error), rooted(c.nextStep)) << error->message();
  }
}

}  // namespace
}  // namespace kavo::testing
