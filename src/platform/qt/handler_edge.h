// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <functional>
#include <string>

#include "platform/services/dialogs.h"
#include "platform/services/program_end.h"
#include "platform/services/run_time_error.h"

namespace kavo {

// What happens after an error has been shown.
enum class AfterError {
  EndProgram,   // what cannot go on after an error
  KeepRunning,  // browsing and the export: the window stays open
};

// What the player can do about an error, in a line; empty when nothing is
// to be said.
using NextStep = std::function<std::string(const RunTimeError&)>;

// Runs the body of an event handler. Exceptions must not cross into the
// toolkit's event loop, so every handler runs through here: an error that
// escapes the body is shown in the standard run-time error message, with its
// number, description, path, reason and note, and beneath them what
// `nextStep` says to do about it; then, unless the handler is one that keeps
// running, the program ends with a failure status.
void runHandler(Dialogs& dialogs, ProgramEnd& programEnd, const std::function<void()>& body,
                AfterError after = AfterError::EndProgram, const NextStep& nextStep = {});

}  // namespace kavo
