#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Counts and lists as people read them in messages, for every front end.
namespace kavo {

// "12,345,678"
inline std::string withThousands(std::uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

// "1 file", "12 files": the count in plain digits and the word it takes.
inline std::string plural(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// "1 game", "1,005 games": as plural(), with thousands marked.
inline std::string counted(std::uint64_t count, std::string_view one, std::string_view many) {
  return withThousands(count) + " " + std::string(count == 1 ? one : many);
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
