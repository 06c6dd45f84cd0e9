// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The console a command-line program writes to: its standard output and
// standard error, and whether a person watches them.
namespace kavo::console {

// Makes the console fit for the program's output, once, before anything is
// written: a closed output pipe becomes a write error to report instead of
// a silent end (on POSIX, SIGPIPE is ignored). On Windows the console shows
// UTF-8 and escape sequences, and what is written reaches a file or pipe
// byte for byte (no line end becomes "\r\n").
void prepare();

// The program's arguments as UTF-8: argv as it is on POSIX; on Windows the
// command line as the system keeps it (UTF-16), since argv holds it in the
// ANSI code page, which loses what that lacks.
std::vector<std::string> arguments(int argc, char** argv);

// Whether standard output, and standard error, are terminals.
bool standardOutputIsTerminal();
bool standardErrorIsTerminal();

// The width of the terminal on standard error, or 80 when it cannot be told.
std::size_t terminalWidth();

// Forgets why an earlier write failed, so that writeFailure() speaks of the
// writes that follow.
void forgetWriteFailure();

// Why a write to standard output since forgetWriteFailure() failed, in the
// system's words ("No space left on device", "Broken pipe"), or "write
// error" when the system gave no reason.
std::string writeFailure();

}  // namespace kavo::console
