// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/windows1252.h"

#include <cstdint>
#include <optional>
#include <vector>

#include "text/normal_form.h"
#include "text/utf8.h"

namespace kavo {

namespace {

// Windows-1252 bytes 0x80 to 0x9F. A zero marks the five bytes the code page
// leaves undefined, which stand for the C1 control of the same number.
constexpr char16_t kHighRow[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                   0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                   0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                   0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

char encode(char32_t c) {
  if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
  for (int k = 0; k < 32; ++k) {
    char32_t mapped = kHighRow[k] != 0 ? kHighRow[k] : char32_t(0x80 + k);
    if (mapped == c) return static_cast<char>(0x80 + k);
  }
  return '?';
}

}  // namespace

std::string fromWindows1252(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char byte : bytes) {
    const auto b = static_cast<unsigned char>(byte);
    const char32_t c = b >= 0x80 && b < 0xA0 && kHighRow[b - 0x80] != 0 ? kHighRow[b - 0x80] : b;
    utf8::append(text, c);
  }
  return text;
}

namespace {

// The characters of a name that is UTF-8, composed first: "e" and a
// combining accent are the one letter "é" that Windows-1252 has.
std::optional<std::vector<char32_t>> charactersOf(std::string_view name) {
  const std::optional<std::string> whole = composed(name);
  if (!whole) return std::nullopt;
  return utf8::decode(*whole);
}

}  // namespace

bool losesCharacters(std::string_view name) {
  const std::optional<std::vector<char32_t>> characters = charactersOf(name);
  if (!characters) return false;
  for (const char32_t c : *characters)
    if (encode(c) == '?' && c != '?') return true;
  return false;
}

std::string toWindows1252(std::string_view name) {
  bool ascii = true;
  for (char byte : name) ascii = ascii && static_cast<unsigned char>(byte) < 0x80;
  if (ascii) return std::string(name);
  std::optional<std::vector<char32_t>> characters = charactersOf(name);
  if (!characters) return std::string(name);
  std::string bytes;
  bytes.reserve(characters->size());
  for (char32_t c : *characters) bytes.push_back(encode(c));
  return bytes;
}

}  // namespace kavo
