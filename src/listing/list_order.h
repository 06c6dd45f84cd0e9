// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>

namespace kavo {

// The order of the file list, which decides every copy's number in an
// export: names without regard to ASCII case and independently of the
// locale; names that differ only in case are ordered by their bytes. It
// must be the same on every machine.
bool listOrderLess(const std::string& a, const std::string& b);

}  // namespace kavo
