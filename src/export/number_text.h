#pragma once

#include <cstdint>
#include <string>

namespace kavo {

// A count as people read it in messages: "12,345,678".
inline std::string withThousands(std::uint64_t number) {
  std::string digits = std::to_string(number);
  for (int at = static_cast<int>(digits.size()) - 3; at > 0; at -= 3)
    digits.insert(static_cast<std::size_t>(at), ",");
  return digits;
}

}  // namespace kavo
