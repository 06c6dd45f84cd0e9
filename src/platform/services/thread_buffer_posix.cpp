// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include <memory>

#include "platform/services/thread_buffer.h"

namespace kavo {

char* threadBuffer() {
  thread_local const std::unique_ptr<char[]> buffer =
      std::make_unique_for_overwrite<char[]>(kThreadBufferSize);
  return buffer.get();
}

}  // namespace kavo
