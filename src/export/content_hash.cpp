// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/content_hash.h"

#include <xxhash.h>

#include <charconv>
#include <cstdio>

namespace kavo {

struct Hasher::State {
  XXH3_state_t* xxh = XXH3_createState();
  ~State() { XXH3_freeState(xxh); }
};

Hasher::Hasher() : state_(std::make_unique<State>()) {
  if (!state_->xxh) throw std::bad_alloc();
  XXH3_128bits_reset(state_->xxh);
}

Hasher::~Hasher() = default;

void Hasher::add(const char* bytes, std::size_t size) {
  XXH3_128bits_update(state_->xxh, bytes, size);
}

ContentHash Hasher::digest() const {
  const XXH128_hash_t hash = XXH3_128bits_digest(state_->xxh);
  return {hash.high64, hash.low64};
}

std::string ContentHash::hex() const {
  char digits[33];
  std::snprintf(digits, sizeof digits, "%016llx%016llx", static_cast<unsigned long long>(high),
                static_cast<unsigned long long>(low));
  return digits;
}

std::optional<ContentHash> ContentHash::fromHex(std::string_view digits) {
  if (digits.size() != 32) return std::nullopt;
  ContentHash hash;
  for (auto [part, half] :
       {std::pair{&hash.high, digits.substr(0, 16)}, std::pair{&hash.low, digits.substr(16)}}) {
    if (half.find_first_not_of("0123456789abcdef") != std::string_view::npos) return std::nullopt;
    std::from_chars(half.data(), half.data() + half.size(), *part, 16);
  }
  return hash;
}

}  // namespace kavo
