// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "listing/file_pattern.h"

#include <gtest/gtest.h>

namespace kavo {
namespace {

TEST(FilePattern, MatchesAsTheFileListPromises) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"*.sms; *.gg", "Sonic.sms", true},
      {"*.sms; *.gg", "alex kidd.SMS", true},  // case does not matter
      {"*.sms; *.gg", "Zelda.Gg", true},
      {"*.sms; *.gg", "notes.txt", false},
      {"*.sms; *.gg", "game.sms.bak", false},
      {"*.*", "README", true},  // "*.*" takes names without a dot too
      {"*.*", "a.b.c", true},
      {"readme.*", "README", true},
      {"readme.*", "README.md", true},
      {"readme.*", "READMEX", false},
      {"?.gg", "a.gg", true},
      {"?.gg", "ab.gg", false},
      {"", "anything", true},  // no pattern at all lists every file
      {" ; ;  ", "anything", true},
      {"  *.gg  ;", "x.gg", true},  // blanks around a pattern are ignored
      {"*.gg", "x.gg ", false},
      {"a\\b*", "a\\bc", true},  // a backslash is an ordinary character
      {"*.sms", ".sms", true},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FilePattern(c.pattern).matches(c.name), c.matches)
        << "pattern \"" << c.pattern << "\", name \"" << c.name << "\"";
}

}  // namespace
}  // namespace kavo
