// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "cli/terminal_text.h"

#include <gtest/gtest.h>

namespace kavo {
namespace {

TEST(TerminalText, PrintableUtf8PassesAndEverythingElseIsEscaped) {
  struct Case {
    std::string text, shown;
  } cases[] = {
      {"Sonic The Hedgehog.sms", "Sonic The Hedgehog.sms"},
      {"Caf\u00e9 \u30b2\u30fc\u30e0 \U0001F3AE.gg", "Caf\u00e9 \u30b2\u30fc\u30e0 \U0001F3AE.gg"},
      {"a\x1b]0;title\x07"
       "b",
       "a\\x1b]0;title\\x07b"},  // retitles a terminal
      {"\x1b[2J", "\\x1b[2J"},   // clears it
      {"tab\there\nline\x7f", "tab\\x09here\\x0aline\\x7f"},
      {"\xc2\x9b"
       "31m",
       "\\xc2\\x9b31m"},  // C1 CSI, encoded in UTF-8
      {"\x9b"
       "31m",
       "\\x9b31m"},                         // C1 CSI as a raw byte
      {"Caf\xe9.sms", "Caf\\xe9.sms"},      // Windows-1252, not UTF-8
      {"\xed\xa0\x80", "\\xed\\xa0\\x80"},  // an encoded surrogate
      {"\xc0\xaf", "\\xc0\\xaf"},           // an overlong "/"
      {"\xe2\x82", "\\xe2\\x82"},           // cut short
      {"back\\slash", "back\\slash"},
  };
  for (const Case& c : cases) EXPECT_EQ(terminalSafe(c.text), c.shown) << c.shown;
}

}  // namespace
}  // namespace kavo
