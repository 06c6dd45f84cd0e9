// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "listing/file_pattern.h"

#include <fnmatch.h>

namespace kavo {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }

bool wildcardMatches(const std::string& pattern, const std::string& name) {
  return ::fnmatch(pattern.c_str(), name.c_str(), FNM_CASEFOLD | FNM_NOESCAPE) == 0;
}

}  // namespace

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

bool FilePattern::matches(const std::string& name) const {
  if (patterns_.empty()) return true;
  for (const std::string& pattern : patterns_) {
    if (wildcardMatches(pattern, name)) return true;
    // "name.*" stands for "name" with any extension, or none.
    if (pattern.size() >= 2 && pattern.ends_with(".*") &&
        wildcardMatches(pattern.substr(0, pattern.size() - 2), name))
      return true;
  }
  return false;
}

}  // namespace kavo
