// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace kavo {

// The process's current directory, as the exact bytes of its full path.
// Throws RunTimeError when it cannot be told (it has been removed).
std::string currentDirectory();

}  // namespace kavo
