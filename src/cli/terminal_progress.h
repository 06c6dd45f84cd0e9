// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <chrono>
#include <mutex>
#include <ostream>
#include <string>

#include "platform/services/progress.h"

namespace kavo {

// One line on a terminal, rewritten in place ("Copied 12 of 5100  name"),
// at most ten times a second, and erased when the task finishes.
class TerminalProgress final : public Progress {
 public:
  TerminalProgress(std::ostream& terminal, std::size_t width);
  ~TerminalProgress() override;

  void step(const std::string& text, const std::string& detail, std::size_t done,
            std::size_t total) override;
  void finish() override;

 private:
  using Clock = std::chrono::steady_clock;

  std::mutex mutex_;  // steps come from the export's threads
  std::ostream& terminal_;
  std::size_t width_;
  Clock::time_point lastShown_{};
  bool shown_ = false;
  std::string phase_;  // the first word of the step shown last
};

}  // namespace kavo
