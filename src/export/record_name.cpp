// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/record_name.h"

#include <algorithm>

#include "export/rom_layout.h"

namespace kavo {

std::optional<std::string> recordNameProblem(std::string_view name) {
  if (name.find_first_of("\r\n") != std::string_view::npos) return "contains a line break";
  // The extension as the copy's name and place take it (a name without a
  // dot is all extension).
  const std::string_view extension = layout::extensionOf(name);
  if (std::any_of(extension.begin(), extension.end(),
                  [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }))
    return "has a control character in its extension";
  if (extension.find(',') != std::string_view::npos)
    return "has a comma in its extension, which would break its record in the index";
  return std::nullopt;
}

}  // namespace kavo
