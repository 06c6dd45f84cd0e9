// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/windows1252.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace kavo {

namespace {

// Decodes strict UTF-8 (no overlong forms, no surrogates, nothing above
// U+10FFFF). Returns nothing when the bytes are not valid UTF-8.
std::optional<std::vector<char32_t>> decodeUtf8(std::string_view bytes) {
  std::vector<char32_t> characters;
  characters.reserve(bytes.size());
  std::size_t i = 0;
  while (i < bytes.size()) {
    auto lead = static_cast<unsigned char>(bytes[i]);
    int length = 0;
    char32_t c = 0;
    char32_t smallest = 0;
    if (lead < 0x80) {
      characters.push_back(lead);
      ++i;
      continue;
    } else if ((lead & 0xE0) == 0xC0) {
      length = 2, c = lead & 0x1F, smallest = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      length = 3, c = lead & 0x0F, smallest = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      length = 4, c = lead & 0x07, smallest = 0x10000;
    } else {
      return std::nullopt;
    }
    if (i + length > bytes.size()) return std::nullopt;
    for (int k = 1; k < length; ++k) {
      auto next = static_cast<unsigned char>(bytes[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      c = (c << 6) | (next & 0x3F);
    }
    if (c < smallest || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return std::nullopt;
    characters.push_back(c);
    i += length;
  }
  return characters;
}

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

void appendUtf8(std::string& text, char32_t c) {
  if (c < 0x80) {
    text.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    text.push_back(static_cast<char>(0xC0 | (c >> 6)));
    text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    text.push_back(static_cast<char>(0xE0 | (c >> 12)));
    text.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    text.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

}  // namespace

std::string fromWindows1252(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  for (const char byte : bytes) {
    const auto b = static_cast<unsigned char>(byte);
    const char32_t c = b >= 0x80 && b < 0xA0 && kHighRow[b - 0x80] != 0 ? kHighRow[b - 0x80] : b;
    appendUtf8(text, c);
  }
  return text;
}

bool losesCharacters(std::string_view name) {
  const std::optional<std::vector<char32_t>> characters = decodeUtf8(name);
  if (!characters) return false;
  for (const char32_t c : *characters)
    if (encode(c) == '?' && c != '?') return true;
  return false;
}

std::string toWindows1252(std::string_view name) {
  bool ascii = true;
  for (char byte : name) ascii = ascii && static_cast<unsigned char>(byte) < 0x80;
  if (ascii) return std::string(name);
  std::optional<std::vector<char32_t>> characters = decodeUtf8(name);
  if (!characters) return std::string(name);
  std::string bytes;
  bytes.reserve(characters->size());
  for (char32_t c : *characters) bytes.push_back(encode(c));
  return bytes;
}

}  // namespace kavo
