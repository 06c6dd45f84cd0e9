#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kavo {

// A count as people read it in messages: "12,345,678".
inline std::string withThousands(std::uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

// A list as people read it in messages: "a, b, c and 4 more".
inline std::string listOf(const std::vector<std::string>& items) {
  constexpr std::size_t kShown = 5;
  std::string text;
  for (std::size_t i = 0; i < items.size() && i < kShown; ++i)
    text += (i == 0 ? "" : ", ") + items[i];
  if (items.size() > kShown) text += " and " + std::to_string(items.size() - kShown) + " more";
  return text;
}

}  // namespace kavo
