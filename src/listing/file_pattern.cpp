// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "listing/file_pattern.h"

namespace kavo {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

char lowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool matchesWildcard(std::string_view pattern, std::string_view name) {
  constexpr std::size_t kNone = std::string_view::npos;
  std::size_t p = 0, n = 0;
  // Where the pattern goes on after its last "*" so far, and where in the
  // name that star's run ends for now. On a mismatch the run takes one byte
  // more and matching starts again from there: an earlier star never needs
  // to take more, as the last one can take it instead.
  std::size_t afterStar = kNone, starEnd = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      afterStar = ++p;
      starEnd = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || lowerAscii(pattern[p]) == lowerAscii(name[n]))) {
      ++p;
      ++n;
    } else if (afterStar != kNone) {
      p = afterStar;
      n = ++starEnd;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

FilePattern::FilePattern(std::string_view text) {
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(';', start);
    if (end == std::string_view::npos) end = text.size();
    size_t first = start, last = end;
    while (first < last && isBlank(text[first])) ++first;
    while (last > first && isBlank(text[last - 1])) --last;
    if (first < last) patterns_.emplace_back(text.substr(first, last - first));
    start = end + 1;
  }
}

bool FilePattern::matches(std::string_view name) const {
  if (patterns_.empty()) return true;
  for (const std::string& pattern : patterns_) {
    if (matchesWildcard(pattern, name)) return true;
    // "name.*" stands for "name" with any extension, or none.
    if (pattern.size() >= 2 && pattern.ends_with(".*") &&
        matchesWildcard(std::string_view(pattern).substr(0, pattern.size() - 2), name))
      return true;
  }
  return false;
}

bool FilePattern::matchesEveryName() const {
  const auto onlyStars = [](std::string_view text) {
    return !text.empty() && text.find_first_not_of('*') == std::string_view::npos;
  };
  if (patterns_.empty()) return true;
  for (const std::string& pattern : patterns_)
    if (onlyStars(pattern) || (pattern.ends_with(".*") &&
                               onlyStars(std::string_view(pattern).substr(0, pattern.size() - 2))))
      return true;
  return false;
}

}  // namespace kavo
