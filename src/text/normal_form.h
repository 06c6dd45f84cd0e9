// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace kavo {

// The same text in Unicode's composed normal form (NFC): an "e" followed by
// a combining acute accent (as some systems and tools spell "é") becomes the
// one character "é", which a code page of precomposed letters such as
// Windows-1252 can hold. Nothing when `text` is not valid UTF-8. The host's
// own Unicode tables do the work (utf8proc on POSIX hosts, NormalizeString
// on Windows).
std::optional<std::string> composed(std::string_view text);

}  // namespace kavo
