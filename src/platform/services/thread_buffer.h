// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>

namespace kavo {

// Reading a large file in pieces of this size lets a drive stream.
inline constexpr std::size_t kThreadBufferSize = 1024 * 1024;

// The calling thread's buffer of kThreadBufferSize bytes, for all the files
// it reads or copies: making (and clearing) a new one for each of thousands
// of small files costs more than copying them. Its bytes are not cleared.
char* threadBuffer();

}  // namespace kavo
