// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

// Counts and lists as people read them in messages, for every front end.
namespace kavo {

// "12,345,678"
inline std::string withThousands(std::uint64_t number) {
  const std::string digits = std::to_string(number);
  std::string text;
  text.reserve(digits.size() + digits.size() / 3);
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text.push_back(',');
    text.push_back(digits[i]);
  }
  return text;
}

// "1 game", "1,005 games": the count, thousands marked, and the word it
// takes.
inline std::string counted(std::uint64_t count, std::string_view one, std::string_view many) {
  return withThousands(count) + " " + std::string(count == 1 ? one : many);
}

// "251 MiB", "1.5 KiB", "900 bytes": a size in the largest binary unit it
// fills, to a tenth below ten of it, or in bytes below a kibibyte.
inline std::string inUnits(std::uint64_t bytes) {
  if (bytes < 1024) return counted(bytes, "byte", "bytes");
  static const char* const kUnits[] = {"KiB", "MiB", "GiB", "TiB"};
  double value = static_cast<double>(bytes) / 1024;
  std::size_t unit = 0;
  while (value >= 1024 && unit + 1 < std::size(kUnits)) {
    value /= 1024;
    ++unit;
  }
  char scaled[32];
  std::snprintf(scaled, sizeof scaled, value < 10 ? "%.1f %s" : "%.0f %s", value, kUnits[unit]);
  return scaled;
}

// "263,454,720 bytes (251 MiB)", "1,536 bytes (1.5 KiB)": a size in bytes,
// and, when it is a kibibyte or more, in units too.
inline std::string byteCount(std::uint64_t bytes) {
  std::string text = counted(bytes, "byte", "bytes");
  if (bytes < 1024) return text;
  return text + " (" + inUnits(bytes) + ")";
}

// "a, b, c, d, e and 4 more"
inline std::string listOf(const std::vector<std::string>& items) {
  constexpr std::size_t kShown = 5;
  std::string text;
  for (std::size_t i = 0; i < items.size() && i < kShown; ++i)
    text += (i == 0 ? "" : ", ") + items[i];
  if (items.size() > kShown) text += " and " + std::to_string(items.size() - kShown) + " more";
  return text;
}

}  // namespace kavo
