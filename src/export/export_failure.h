// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <string>

#include "platform/services/run_time_error.h"

namespace kavo {

// A failed export: the run-time error, the step it failed in ("copying",
// "checking the destination"), and whether it was refused before it wrote
// anything. Shown like any run-time error; the command line also names the
// step and tells a refusal from a failure part-way.
class ExportFailure : public RunTimeError {
 public:
  ExportFailure(const RunTimeError& error, std::string step, bool refused)
      : RunTimeError(error), step_(std::move(step)), refused_(refused) {}

  const std::string& step() const { return step_; }
  bool refused() const { return refused_; }

  // Refused because of what an earlier export left, which a replace would
  // take away.
  bool replaceable() const { return replaceable_; }
  void setReplaceable() { replaceable_ = true; }

  // Refused because the destination is the source folder or lies inside it,
  // which the player may still ask for (ExportRequest::intoSource).
  bool insideSource() const { return insideSource_; }
  void setInsideSource() { insideSource_ = true; }

  // Refused for want of room: how many more bytes its volume must have free.
  std::uint64_t shortOf() const { return shortOf_; }
  void setShortOf(std::uint64_t bytes) { shortOf_ = bytes; }

 private:
  std::string step_;
  bool refused_;
  bool replaceable_ = false;
  bool insideSource_ = false;
  std::uint64_t shortOf_ = 0;
};

}  // namespace kavo
