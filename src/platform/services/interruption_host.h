// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

// Between interruption.cpp, which keeps the note of a stop asked for, and
// the host's sibling (interruption_posix.cpp), which hears the requests: its
// signal handlers, or on Windows its console handler, call note().
namespace kavo::interruption_host {

// Notes that `signal` asked the program to stop. Safe in a signal handler
// and from any thread.
void note(int signal);

// How a stop by `signal` is named in a message: "SIGINT".
std::string nameOf(int signal);

}  // namespace kavo::interruption_host
