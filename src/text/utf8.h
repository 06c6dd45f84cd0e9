// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Names on this host are UTF-8 bytes, not always valid ones.
namespace kavo::utf8 {

// The length of the well-formed UTF-8 sequence at the start of `text` and
// the character it encodes, or 0 when it is not one (an overlong form, a
// surrogate, anything above U+10FFFF, a sequence cut short). `text` is not
// empty.
std::size_t decodeOne(std::string_view text, char32_t& character);

// Every character of `text`, or nothing when it is not valid UTF-8.
std::optional<std::vector<char32_t>> decode(std::string_view text);

// Appends the UTF-8 form of a character (U+0000 to U+10FFFF).
void append(std::string& text, char32_t character);

// Wide text as UTF-8, and UTF-8 as wide text: UTF-16 where wchar_t has 16
// bits (Windows, whose names libarchive gives whole only as wide text),
// UTF-32 elsewhere. A broken UTF-16 pair, or bytes that are not UTF-8,
// become U+FFFD.
std::string fromWide(std::wstring_view text);
std::wstring toWide(std::string_view text);

}  // namespace kavo::utf8
