// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

namespace kavo {

// Text as it may safely reach a terminal. File names are bytes, and a name
// may hold escape sequences that retitle or clear a terminal, or bytes that
// are not UTF-8 at all. Printable UTF-8 passes unchanged; control
// characters (C0, DEL, C1) and bytes that are not UTF-8 are shown as \xHH,
// as ls shows what it will not print.
std::string terminalSafe(std::string_view text);

}  // namespace kavo
