// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>

#include "platform/services/dialogs.h"
#include "platform/services/program_end.h"

namespace kavo {

// What happens after an error has been shown.
enum class AfterError {
  EndProgram,   // what cannot go on after an error
  KeepRunning,  // browsing and the export: the window stays open
};

// Runs the body of an event handler. Exceptions must not cross into the
// toolkit's event loop, so every handler runs through here: an error that
// escapes the body is shown in the standard run-time error message, with its
// number, description, path, reason and note, and then, unless the handler
// is one that keeps running, the program ends with a failure status.
void runHandler(Dialogs& dialogs, ProgramEnd& programEnd, const std::function<void()>& body,
                AfterError after = AfterError::EndProgram);

}  // namespace kavo
