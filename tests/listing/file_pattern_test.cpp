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
      // "[" is an ordinary character too, so tags in names match as typed.
      {"*[b1]*", "Sonic (U) [b1].sms", true},
      {"*[b1]*", "Bubble.sms", false},
      {"Sonic (U) [!].sms", "sonic (u) [!].SMS", true},
      {"[a-z].gg", "a.gg", false},
      // Bytes outside ASCII match only themselves, one "?" each.
      {"\xc3\xa9*", "\xc3\xa9t\xc3\xa9.gg", true},
      {"\xc3\xa9*", "\xc3\x89t\xc3\xa9.gg", false},
      {"??.gg", "\xc3\xa9.gg", true},
      {"*\xff", "a\xff", true},
      // A star takes any run, an empty one included; the last star settles.
      {"**a**", "a", true},
      {"*a*b*c", "xaxbxcxc", true},
      {"*a*b*c", "xaxbxcxd", false},
      {"a*?", "a", false},
      {"*a*a*a*a*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FilePattern(c.pattern).matches(c.name), c.matches)
        << "pattern \"" << c.pattern << "\", name \"" << c.name << "\"";
}

// A pattern that matches every name selects nothing: the list then looks
// into no archive, and the export gets no filter. Each such pattern does
// match every name; the others are told apart from it.
TEST(FilePattern, KnowsWhenItMatchesEveryName) {
  const struct {
    const char* pattern;
    bool everyName;
  } cases[] = {
      {"*.*", true},          {"*", true},     {"", true},
      {" ; ", true},          {"**.*", true},  {"*.sms; *.*", true},
      {"*.sms; *.gg", false}, {".*", false},   {"*.", false},
      {"*.*.*", false},       {"*.**", false}, {"a*", false},
  };
  for (const auto& c : cases) {
    const FilePattern pattern(c.pattern);
    EXPECT_EQ(pattern.matchesEveryName(), c.everyName) << c.pattern;
    if (!c.everyName) continue;
    for (const char* name : {"README", "a.b", ".x", "x.", "Sonic (U) [!].sms"})
      EXPECT_TRUE(pattern.matches(name)) << c.pattern << " " << name;
  }
}

}  // namespace
}  // namespace kavo
