// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

namespace kavo {

// The exit status of a program that a run-time error ended.
inline constexpr int kExitAfterRunTimeError = 1;

// Ends the program: closes its windows and leaves the event loop, and the
// process exits with `exitStatus` (0 when all went well). The caller returns
// normally afterwards; nothing of the program runs after that.
class ProgramEnd {
 public:
  virtual ~ProgramEnd() = default;
  virtual void end(int exitStatus) = 0;
};

}  // namespace kavo
