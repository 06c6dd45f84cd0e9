// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/thread_buffer.h"

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace kavo {
namespace {

// Each export starts its copy threads and ends them again, hundreds of
// times over in a fault sweep. Every thread has a buffer of its own for its
// life, and a thread's end frees it without harming anything else on the
// heap: the buffers' end once corrupted the heap on Windows, which this
// many threads coming and going, with the heap busy meanwhile, brought out
// in most runs.
TEST(ThreadBuffer, ThreadsThatComeAndGoEachKeepTheirOwn) {
  constexpr int kRounds = 3000, kThreads = 4;
  std::map<std::string, std::string> held;  // what the heap holds meanwhile
  for (int round = 0; round < kRounds; ++round) {
    std::array<bool, kThreads> whole{};
    std::array<std::thread, kThreads> threads;
    for (int t = 0; t < kThreads; ++t)
      threads[t] = std::thread([&whole, round, t] {
        char* buffer = threadBuffer();
        const char mark = static_cast<char>(round * kThreads + t);
        std::memset(buffer, mark, 4096);
        buffer[kThreadBufferSize - 1] = mark;
        std::vector<std::string> names;
        for (int i = 0; i < 50; ++i) names.emplace_back(100 + i, mark);
        whole[t] = threadBuffer() == buffer && buffer[0] == mark && buffer[4095] == mark &&
                   buffer[kThreadBufferSize - 1] == mark && names.back() == std::string(149, mark);
      });
    for (std::thread& thread : threads) thread.join();
    for (int t = 0; t < kThreads; ++t)
      ASSERT_TRUE(whole[t]) << "round " << round << ", thread " << t;
    for (int i = 0; i < 20; ++i)
      held["round " + std::to_string(round) + " entry " + std::to_string(i)] = std::string(64, 'h');
    if (held.size() > 5000) held.clear();
  }
  for (const auto& [name, bytes] : held) ASSERT_EQ(bytes, std::string(64, 'h')) << name;
}

}  // namespace
}  // namespace kavo
