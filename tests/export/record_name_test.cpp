// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/record_name.h"

#include <gtest/gtest.h>

namespace kavo {
namespace {

// A record's name keeps its record one line and its copy's place readable:
// a line break nowhere, a control character or a comma not in the
// extension, which the copy's name and place take; elsewhere any byte is
// the player's.
TEST(RecordName, ALineBreakAnywhereAControlCharacterOrACommaInTheExtensionIsRefused) {
  const struct {
    std::string name;
    std::string problem;  // empty: none
  } cases[] = {
      {"Sonic (USA).sms", ""},
      {"Smith, John - Game.sms", ""},  // a comma before the extension
      {"Tab\there.sms", ""},           // a control character before it
      {"Mad\xC5\x8D Monogatari.sms", ""},
      {"Game.sms\n", "contains a line break"},
      {"Ga\rme.sms", "contains a line break"},
      {std::string("Game.s\0ms", 9), "has a control character in its extension"},
      {"Game.s\x1Fms", "has a control character in its extension"},
      {"Game.sms\x7F", "has a control character in its extension"},
      {"Tab\there", "has a control character in its extension"},  // all extension
      {"Game.s,ms", "has a comma in its extension, which would break its record in the index"},
      {"Game,sms", "has a comma in its extension, which would break its record in the index"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(recordNameProblem(c.name).value_or(""), c.problem);
  }
}

}  // namespace
}  // namespace kavo
