// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Feeds the file list's pattern matcher a pattern and a name of arbitrary
// bytes (split at the first NUL byte).
#include <cstddef>
#include <cstdint>
#include <string>

#include "export/rom_layout.h"
#include "fuzz/fuzz_check.h"
#include "listing/file_pattern.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const size_t split = input.find('\0');
  if (split == std::string::npos) return 0;
  const std::string pattern = input.substr(0, split);
  std::string name = input.substr(split + 1);
  name = name.substr(0, name.find('\0'));  // names hold no NUL byte

  const kavo::FilePattern filter(pattern);
  const bool matches = filter.matches(name);

  // "*.*" and an empty pattern take every name.
  FUZZ_CHECK(kavo::FilePattern("*.*").matches(name));
  FUZZ_CHECK(kavo::FilePattern("").matches(name));
  // A name is its own pattern when it holds no wildcard, separator or
  // surrounding blank.
  if (!name.empty() && name.find_first_of("*?[;") == std::string::npos && name.front() != ' ' &&
      name.back() != ' ' && name.front() != '\t' && name.back() != '\t')
    FUZZ_CHECK(kavo::FilePattern(name).matches(name));
  // Case is ignored.
  if (pattern.find('[') == std::string::npos)
    FUZZ_CHECK(filter.matches(kavo::layout::upperCaseAscii(name)) == matches);
  return 0;
}
