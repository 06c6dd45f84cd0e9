// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kavo {

// The file list's pattern: wildcard patterns separated by ";", blanks around
// each one ignored, and each matched as matchesWildcard() says: "*" any run
// of characters, "?" one (ASCII) character, without regard to case; "\" and
// "[" are ordinary characters. As users of older file lists expect, "*.*"
// matches every name, names without a dot included, and in general "name.*"
// also matches "name". A pattern with no wildcard pattern in it (empty, or
// only blanks and ";") matches every name.
class FilePattern {
 public:
  explicit FilePattern(std::string_view text);

  bool matches(std::string_view name) const;

  // Whether it matches every name whatever it is ("*.*", "*", an empty
  // pattern): then it selects nothing, and no archive need be looked into.
  bool matchesEveryName() const;

 private:
  std::vector<std::string> patterns_;
};

// Whether `name` matches one wildcard pattern (no ";"): "*" matches any run
// of bytes and "?" one byte, A-Z as a-z; every other byte only itself.
// Names are UTF-8, so "?" takes one ASCII character, and a character
// outside ASCII takes as many "?" as it has bytes. Takes at most time in
// proportion to the pattern's length times the name's.
bool matchesWildcard(std::string_view pattern, std::string_view name);

}  // namespace kavo
