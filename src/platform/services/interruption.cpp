// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/interruption.h"

#include <csignal>
#include <cstring>

#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

volatile std::sig_atomic_t received = 0;

extern "C" void noteSignal(int signal) { received = signal; }

}  // namespace

void catchInterruptions() {
  struct sigaction action {};
  action.sa_handler = noteSignal;
  sigemptyset(&action.sa_mask);
  // No SA_RESTART: a blocking call returns early, so the stop is seen soon.
  action.sa_flags = 0;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  sigaction(SIGHUP, &action, nullptr);
}

int interruptionSignal() { return received; }

void throwIfInterrupted() {
  if (received != 0)
    throw RunTimeError(ErrorNumber::UserInterrupt, {},
                       std::string("Interrupted by SIG") + sigabbrev_np(received));
}

void ignoreFileSizeLimitSignal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace kavo
