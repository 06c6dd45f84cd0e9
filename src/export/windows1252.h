// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>

namespace kavo {

// The index is read by an emulator that knows one 8-bit code page,
// Windows-1252. Names on this host are UTF-8 bytes; this turns them into
// Windows-1252 bytes: a character that has no Windows-1252 form becomes "?".
// A name that is not valid UTF-8 has no known characters to convert, so its
// bytes are passed through as they are.
std::string toWindows1252(std::string_view name);

// Windows-1252 bytes as UTF-8, as a terminal shows them.
std::string fromWindows1252(std::string_view bytes);

// Whether a name loses characters in the index: it is UTF-8 and has one
// that Windows-1252 has not ("Madō" is written "Mad?").
bool losesCharacters(std::string_view name);

}  // namespace kavo
