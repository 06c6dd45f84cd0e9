// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kavo {

// Starts the program: checks that there is a display, creates the main window,
// shows it and runs the event loop until the program ends. Returns the exit
// status.
int runApplication(int argc, char** argv);

}  // namespace kavo
