// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/terminal_text.h"

#include <cstdint>
#include <cstdio>

#include "text/utf8.h"

namespace kavo {

namespace {

void escapeByte(std::string& out, unsigned char byte) {
  char hex[5];
  std::snprintf(hex, sizeof hex, "\\x%02x", byte);
  out += hex;
}

}  // namespace

std::string terminalSafe(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  while (!text.empty()) {
    char32_t codePoint = 0;
    const std::size_t length = utf8::decodeOne(text, codePoint);
    const bool control = codePoint < 0x20 || (codePoint >= 0x7F && codePoint <= 0x9F);
    if (length == 0 || control) {
      // Every byte of a C1 control is shown, so nothing of it reaches the
      // terminal raw.
      const std::size_t shown = length == 0 ? 1 : length;
      for (std::size_t i = 0; i < shown; ++i) escapeByte(out, static_cast<unsigned char>(text[i]));
      text.remove_prefix(shown);
    } else {
      out.append(text.substr(0, length));
      text.remove_prefix(length);
    }
  }
  return out;
}

}  // namespace kavo
