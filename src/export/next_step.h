// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

#include "platform/services/paths.h"
#include "platform/services/run_time_error.h"

namespace kavo {

// The full path to an index that the messages give as an example.
inline constexpr const char* kIndexPathExample =
    paths::kHost.driveLetters ? "E:\\FILES.TXT" : "/media/usb/FILES.TXT";

// What the player can do about a refused or failed export, in one line
// ("Move or delete it, then export again."); empty where the message says
// all there is. The window shows it beneath the run-time error, the command
// line after it, so both say the same. `error` may be an ExportFailure,
// which tells more (the step, the room missing).
std::string nextStep(const RunTimeError& error);

}  // namespace kavo
