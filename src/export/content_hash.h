// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace kavo {

// A 128-bit hash of a file's bytes (XXH3): fast enough to keep up with any
// drive, and wide enough that two different ROMs never share one by chance.
// It guards against accidents (a stick that returns other bytes, a changed
// dump), not against anyone forging a file.
struct ContentHash {
  std::uint64_t high = 0, low = 0;
  bool operator==(const ContentHash&) const = default;

  // Thirty-two lower-case hexadecimal digits.
  std::string hex() const;
  static std::optional<ContentHash> fromHex(std::string_view digits);
};

// Hashes bytes given a piece at a time.
class Hasher {
 public:
  Hasher();
  ~Hasher();
  Hasher(const Hasher&) = delete;
  Hasher& operator=(const Hasher&) = delete;

  void add(const char* bytes, std::size_t size);
  ContentHash digest() const;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace kavo
