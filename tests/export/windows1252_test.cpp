// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/windows1252.h"

#include <gtest/gtest.h>

namespace kavo {
namespace {

TEST(Windows1252, ConvertsUtf8Names) {
  const std::pair<std::string, std::string> cases[] = {
      {"Plain ASCII, 1.sms", "Plain ASCII, 1.sms"},
      {"\u00e9", "\xe9"},            // é, the Latin-1 half is the identity
      {"\u00a0\u00ff", "\xa0\xff"},  // its first and last characters
      {"\u20ac", "\x80"},            // €, from the 0x80 row
      {"\u0152\u0178", "\x8c\x9f"},  // Œ and Ÿ
      {"\u2122", "\x99"},            // ™
      {"\u0081\u009d", "\x81\x9d"},  // C1 controls with an unassigned byte
      {"\u0080", "?"},               // C1 control whose byte holds €
      {"\u0100", "?"},               // Ā has no form
      {"a\u65e5b", "a?b"},           // one CJK character, one "?"
      {"\U0001F600", "?"},           // four-byte character
      // Decomposed letters, as some systems spell them, are composed first.
      {"Pok\u0065\u0301mon", "Pok\xe9mon"},  // e + combining acute
      {"A\u030Angstr\u006F\u0308m", "\xc5ngstr\xf6m"},
      {"Ma\u0304", "M?"},  // composes to ā, which has no form
  };
  for (const auto& [utf8, expected] : cases) {
    EXPECT_EQ(toWindows1252(utf8), expected) << utf8;
  }
}

TEST(Windows1252, PassesNamesThatAreNotUtf8ThroughAsBytes) {
  const std::string cases[] = {
      "\xe9t\xe9.sms",     // already Latin-1
      "\xc3",              // cut off in the middle of a character
      "\xc0\xaf",          // overlong "/"
      "\xed\xa0\x80",      // a surrogate
      "\xf4\x90\x80\x80",  // above U+10FFFF
      "ok \u00e9 \xff",    // valid at first, invalid later
  };
  for (const std::string& bytes : cases) {
    EXPECT_EQ(toWindows1252(bytes), bytes);
  }
}

}  // namespace
}  // namespace kavo
