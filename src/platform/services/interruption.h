// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kavo {

// Ctrl-C (SIGINT), termination requests (SIGTERM) and a closed terminal or
// dropped connection (SIGHUP), for a program that must undo what it started
// before it leaves. Once catchInterruptions() has run,
// such a signal no longer ends the process: it is noted, and long work asks
// throwIfInterrupted() between its steps.
void catchInterruptions();

// The signal that asked the program to stop, or 0 when none has.
int interruptionSignal();

// Throws the run-time error "User interrupt occurred" once a signal, or
// requestStop(), has asked the program to stop.
void throwIfInterrupted();

// Asks long work to stop as a signal does, for a window's Cancel button:
// throwIfInterrupted() then throws, its reason "Cancelled". Safe from any
// thread; interruptionSignal() still tells signals alone.
void requestStop();

// Forgets a stop asked for by requestStop(), once the work it stopped is
// over, so that the next may run; a signal noted stays noted.
void resetStop();

// A file that outgrows the process's limit (ulimit -f) is an ordinary
// "File too large" failure instead of a silent end by SIGXFSZ.
void ignoreFileSizeLimitSignal();

}  // namespace kavo
