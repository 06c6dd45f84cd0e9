// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Interruptions on POSIX hosts: signals.

#include <csignal>
#include <cstring>

#include "platform/services/interruption.h"
#include "platform/services/interruption_host.h"

namespace kavo {

namespace {

extern "C" void noteSignal(int signal) { interruption_host::note(signal); }

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

std::string interruption_host::nameOf(int signal) {
  return std::string("SIG") + sigabbrev_np(signal);
}

void ignoreFileSizeLimitSignal() { std::signal(SIGXFSZ, SIG_IGN); }

}  // namespace kavo
