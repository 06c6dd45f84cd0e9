// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <memory>

#include "platform/services/file_system.h"

namespace kavo {

// The file system of the host the program runs on: the POSIX one, or on
// Windows the Win32 one. The programs take theirs from here.
std::unique_ptr<FileSystem> hostFileSystem();

}  // namespace kavo
