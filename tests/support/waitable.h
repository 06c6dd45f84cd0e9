// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <condition_variable>
#include <mutex>

namespace kavo::testing {

// A value that threads change and wait on, with a mutex and a condition
// variable. (Not std::latch nor std::atomic::wait: in MinGW's GCC 12 both
// now and then never wake a waiter, about one round in 6,000 under Wine.)
template <typename T>
class Waitable {
 public:
  explicit Waitable(T value = {}) : value_(value) {}

  T get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }

  // Runs `change` on the value and wakes every waiter.
  template <typename Change>
  void change(Change change) {
    {
      std::lock_guard lock(mutex_);
      change(value_);
    }
    changed_.notify_all();
  }

  void set(T value) {
    change([&](T& now) { now = value; });
  }

  // Returns once `holds` is true of the value.
  template <typename Holds>
  void waitUntil(Holds holds) const {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return holds(value_); });
  }

 private:
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  T value_;
};

}  // namespace kavo::testing
