// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include "platform/services/program_end.h"

namespace kavo {

// Ends a Qt program: closes every window and leaves the event loop, so that
// the handler that asked returns into a loop that is already finishing.
class QtProgramEnd final : public ProgramEnd {
 public:
  void end(int exitStatus) override;
};

}  // namespace kavo
