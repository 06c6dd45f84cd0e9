// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Windows host around the files: the console's events as the signals
// a POSIX host would send, the current directory, ejecting.
#include "platform/services/win32_host.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "platform/services/current_directory.h"
#include "platform/services/drive_eject.h"
#include "platform/services/interruption.h"
#include "platform/services/interruption_host.h"
#include "platform/services/paths.h"
#include "support/error_of.h"
#include "support/temp_directory.h"

namespace kavo::testing {
namespace {

// Each console event stops the program as the signal a POSIX host sends for
// it, so that the command line leaves with 128 plus its number, and a
// message names it as a Windows user knows it.
TEST(Win32Interruption, ConsoleEventsAreTheSignalsOfAPosixHost) {
  const struct {
    unsigned long event;
    int signal;
    const char* name;
  } cases[] = {
      {CTRL_C_EVENT, 2, "Ctrl-C"},
      {CTRL_BREAK_EVENT, 21, "Ctrl-Break"},
      {CTRL_CLOSE_EVENT, 1, "closing the console"},
      {CTRL_LOGOFF_EVENT, 15, "the end of the session"},
      {CTRL_SHUTDOWN_EVENT, 15, "the end of the session"},
      {7, 0, nullptr},  // no event of the console's
  };
  for (const auto& c : cases) {
    EXPECT_EQ(interruption_host::signalOfConsoleEvent(c.event), c.signal) << c.event;
    if (c.name) {
      EXPECT_EQ(interruption_host::nameOf(c.signal), c.name);
    }
  }
}

// Ctrl-C reaches the handler, which notes it and lets the program go on to
// take back what it made; the next step then stops, naming it. (Wine
// delivers Ctrl-C, the only event it delivers, to a process with a
// console.)
TEST(Win32Interruption, CtrlCIsNotedAndTheNextStepStops) {
  if (!::GetConsoleWindow() && !::AllocConsole()) {
    if (std::getenv("KAVO_CONSOLE_EXPECTED")) FAIL() << "no console, though run on a terminal";
    GTEST_SKIP() << "no console to send Ctrl-C in (win32_ctrl_c_in_a_console gives it one)";
  }
  catchInterruptions();
  ASSERT_TRUE(::GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0));
  for (int waited = 0; waited < 500 && interruptionSignal() == 0; ++waited)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(interruptionSignal(), 2);
  const auto error = errorOf([] { throwIfInterrupted(); });
  ASSERT_TRUE(error);
  EXPECT_EQ(error->number(), ErrorNumber::UserInterrupt);
  EXPECT_EQ(error->reason(), "Interrupted by Ctrl-C");
}

// The current directory in UTF-8, whatever the ANSI code page lacks.
TEST(Win32CurrentDirectory, IsTheFolderInUtf8) {
  TempDirectory dir;
  const std::string folder = dir / "Mad\xc5\x8d \xe6\x97\xa5\xe6\x9c\xac";
  makeDirectories(folder);
  wchar_t before[MAX_PATH + 1] = {};
  ::GetCurrentDirectoryW(MAX_PATH + 1, before);
  ASSERT_TRUE(::SetCurrentDirectoryW(wideFromUtf8(folder, folder).c_str()));
  const std::string current = currentDirectory();
  ::SetCurrentDirectoryW(before);
  EXPECT_EQ(current, folder);
}

// Wine reports every drive as a fixed one: nothing is offered to eject, and
// asking says why without changing anything.
TEST(Win32Eject, AFixedDiskIsNotOfferedAndSaysSo) {
  TempDirectory dir;
  const auto ejector = hostDriveEjector();
  EXPECT_FALSE(ejector->canEject(dir.path()));
  const EjectResult result = ejector->eject(dir.path());
  EXPECT_EQ(result.outcome, EjectOutcome::NotRemovable);
  EXPECT_FALSE(result.unmounted);
  EXPECT_NE(result.message().find("not on a drive that can be ejected"), std::string::npos)
      << result.message();
  EXPECT_EQ(ejector->eject(dir / "missing/folder").outcome, EjectOutcome::NotRemovable);
}

}  // namespace
}  // namespace kavo::testing
