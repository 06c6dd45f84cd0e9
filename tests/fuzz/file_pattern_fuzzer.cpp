// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds the file list's pattern matcher a pattern and a name of arbitrary
// bytes (split at the first NUL byte).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "export/rom_layout.h"
#include "fuzz/fuzz_check.h"
#include "listing/file_pattern.h"

namespace {

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + ('a' - 'A')) : c; }

// The plainest matcher there is, to hold the quick one to: whether
// pattern[i...] matches name[j...], for every i and j, from the ends back.
bool referenceMatches(std::string_view pattern, std::string_view name) {
  const std::size_t columns = name.size() + 1;
  std::vector<char> matches((pattern.size() + 1) * columns, 0);
  auto at = [&](std::size_t i, std::size_t j) -> char& { return matches[i * columns + j]; };
  at(pattern.size(), name.size()) = 1;
  for (std::size_t i = pattern.size(); i-- > 0;) {
    for (std::size_t j = columns; j-- > 0;) {
      const bool more = j < name.size();
      if (pattern[i] == '*')
        at(i, j) = at(i + 1, j) || (more && at(i, j + 1));
      else
        at(i, j) =
            more && (pattern[i] == '?' || lower(pattern[i]) == lower(name[j])) && at(i + 1, j + 1);
    }
  }
  return at(0, 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  if (split == std::string::npos) return 0;
  const std::string pattern = input.substr(0, split);
  std::string name = input.substr(split + 1);
  name = name.substr(0, name.find('\0'));  // names hold no NUL byte

  // The whole pattern as one wildcard pattern, its ";" and blanks included.
  FUZZ_CHECK(kavo::matchesWildcard(pattern, name) == referenceMatches(pattern, name));

  const kavo::FilePattern filter(pattern);
  const bool matches = filter.matches(name);

  // "*.*" and an empty pattern take every name.
  FUZZ_CHECK(kavo::FilePattern("*.*").matches(name));
  FUZZ_CHECK(kavo::FilePattern("").matches(name));
  // A name is its own pattern when it holds no wildcard, separator or
  // surrounding blank.
  if (!name.empty() && name.find_first_of("*?;") == std::string::npos && name.front() != ' ' &&
      name.back() != ' ' && name.front() != '\t' && name.back() != '\t')
    FUZZ_CHECK(kavo::FilePattern(name).matches(name));
  // Case is ignored.
  FUZZ_CHECK(filter.matches(kavo::layout::upperCaseAscii(name)) == matches);
  return 0;
}
