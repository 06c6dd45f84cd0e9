// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <string>

namespace kavo {

// Shows how far a long task has come. The task reports each step before it
// runs it, or as it goes, from any of its threads.
class Progress {
 public:
  virtual ~Progress() = default;

  // A step begins: `text` says what it does, `detail` what it works on, and
  // `done` of `total` units are behind.
  virtual void step(const std::string& text, const std::string& detail, std::size_t done,
                    std::size_t total) = 0;

  // The task is over, or is about to report; whatever was shown goes away.
  virtual void finish() = 0;
};

// Shows nothing.
class SilentProgress final : public Progress {
 public:
  void step(const std::string&, const std::string&, std::size_t, std::size_t) override {}
  void finish() override {}
};

}  // namespace kavo
