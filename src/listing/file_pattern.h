// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kavo {

// The file list's pattern: wildcard patterns separated by ";", blanks around
// each one ignored. "*" matches any run of characters and "?" one character,
// without regard to case; "\" is an ordinary character. As users of older
// file lists expect, "*.*" matches every name, names without a dot included,
// and in general "name.*" also matches "name". A pattern with no wildcard
// pattern in it (empty, or only blanks and ";") matches every name.
class FilePattern {
 public:
  explicit FilePattern(std::string_view text);

  bool matches(const std::string& name) const;

 private:
  std::vector<std::string> patterns_;
};

}  // namespace kavo
