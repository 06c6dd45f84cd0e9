// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/handler_edge.h"

#include "platform/services/run_time_error.h"

namespace kavo {

void runHandler(Dialogs& dialogs, ProgramEnd& programEnd, const std::function<void()>& body,
                AfterError after, const NextStep& nextStep) {
  try {
    body();
    return;
  } catch (const RunTimeError& error) {
    // As it was thrown, an ExportFailure too, which tells more of what to do.
    dialogs.errorMessage(error.message(), nextStep ? nextStep(error) : std::string());
  } catch (...) {
    dialogs.errorMessage(currentRunTimeError().message(), {});
  }
  if (after == AfterError::EndProgram) programEnd.end(kExitAfterRunTimeError);
}

}  // namespace kavo
