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

// How a stop by `signal` is named in a message: "SIGINT" (on Windows,
// "Ctrl-C").
std::string nameOf(int signal);

#ifdef _WIN32
// The signal a console event stands for, or 0 for one that asks for no
// stop: Ctrl-C is SIGINT (2), Ctrl-Break SIGBREAK (21), closing the console
// SIGHUP (1), logging off and shutting down SIGTERM (15).
int signalOfConsoleEvent(unsigned long event);
#endif

}  // namespace kavo::interruption_host
