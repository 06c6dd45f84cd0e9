// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/interruption.h"

#include <atomic>

#include "platform/services/interruption_host.h"
#include "platform/services/run_time_error.h"

namespace kavo {

namespace {

// Lock-free, so that a signal handler may set it, as may another thread.
std::atomic<int> received{0};
static_assert(std::atomic<int>::is_always_lock_free);
std::atomic<bool> stopRequested{false};

}  // namespace

void interruption_host::note(int signal) { received.store(signal, std::memory_order_relaxed); }

int interruptionSignal() { return received.load(std::memory_order_relaxed); }

void throwIfInterrupted() {
  if (const int signal = interruptionSignal(); signal != 0)
    throw RunTimeError(ErrorNumber::UserInterrupt, {},
                       "Interrupted by " + interruption_host::nameOf(signal));
  if (stopRequested.load(std::memory_order_relaxed))
    throw RunTimeError(ErrorNumber::UserInterrupt, {}, "Cancelled");
}

void requestStop() { stopRequested.store(true, std::memory_order_relaxed); }

void resetStop() { stopRequested.store(false, std::memory_order_relaxed); }

}  // namespace kavo
