// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/handler_edge.h"

#include <gtest/gtest.h>

#include <new>

#include "platform/services/run_time_error.h"
#include "support/scripted_dialogs.h"

namespace kavo {
namespace {

using testing::RecordingProgramEnd;
using testing::ScriptedDialogs;

TEST(HandlerEdge, ABodyThatSucceedsShowsNothingAndEndsNothing) {
  ScriptedDialogs dialogs;
  RecordingProgramEnd programEnd;
  bool ran = false;
  runHandler(dialogs, programEnd, [&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_TRUE(dialogs.messages.empty());
  EXPECT_EQ(programEnd.ends, 0);
}

TEST(HandlerEdge, AnEscapingErrorIsShownAndEndsTheProgram) {
  struct Case {
    std::function<void()> body;
    std::string message;
    std::string nextStep = {};  // what the handler's nextStep says of a run-time error
  };
  const Case cases[] = {
      {[] {
         throw RunTimeError(ErrorNumber::DiskFull, "/media/usb/FILES.TXT",
                            "No space left on device");
       },
       "Run-time error '61':\n\nDisk full\n\n/media/usb/FILES.TXT: No space left on device",
       "Free space on /media/usb/FILES.TXT."},
      {[] { throw std::bad_alloc(); }, "Run-time error '7':\n\nOut of memory"},
      {[] { throw std::runtime_error("vector too long"); },
       "Run-time error '51':\n\nInternal error\n\nvector too long"},
      {[] { throw 42; }, "Run-time error '51':\n\nInternal error"},
  };
  const NextStep nextStep = [](const RunTimeError& error) {
    return error.number() == ErrorNumber::DiskFull ? "Free space on " + error.path() + "."
                                                   : std::string();
  };
  for (const Case& c : cases) {
    ScriptedDialogs dialogs;
    RecordingProgramEnd programEnd;
    runHandler(dialogs, programEnd, c.body, AfterError::EndProgram, nextStep);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, c.message);
    EXPECT_EQ(dialogs.messages[0].kind, ScriptedDialogs::Message::Kind::Error);
    EXPECT_EQ(dialogs.messages[0].detail, c.nextStep);
    EXPECT_EQ(programEnd.ends, 1);
    EXPECT_EQ(programEnd.lastStatus, 1) << "a run-time error ends with a failure status";
  }
}

}  // namespace
}  // namespace kavo
