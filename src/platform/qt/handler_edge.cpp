// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/qt/handler_edge.h"

#include "platform/services/run_time_error.h"

namespace kavo {

void runHandler(Dialogs& dialogs, ProgramEnd& programEnd, const std::function<void()>& body,
                AfterError after) {
  try {
    body();
  } catch (...) {
    const RunTimeError error = currentRunTimeError();
    dialogs.messageBox(error.message());
    if (after == AfterError::EndProgram) programEnd.end(kExitAfterRunTimeError);
  }
}

}  // namespace kavo
