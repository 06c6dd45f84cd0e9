// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/copy_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "support/waitable.h"

namespace kavo {
namespace {

using testing::Waitable;
const auto isTrue = [](bool value) { return value; };

// In each round the last job handed in finishes first, the others waiting
// for it. They are still taken back in the order handed in, each with its
// range, and never more than the window are in hand.
TEST(CopyWorkers, JobsFinishInAnyOrderAndAreTakenBackInTheirOwn) {
  CopyWorkers workers(4, 3);
  std::vector<std::atomic<bool>> done(12);
  for (std::size_t round = 0; round < 4; ++round) {
    Waitable<bool> lastDone;
    for (std::size_t k = 0; k < 3; ++k) {
      const std::size_t job = 3 * round + k;
      workers.handIn({job, job + 1}, [&, job, k] {
        if (k < 2) lastDone.waitUntil(isTrue);
        done[job] = true;
        if (k == 2) lastDone.set(true);
      });
    }
    EXPECT_FALSE(workers.hasRoom());
    for (std::size_t k = 0; k < 3; ++k) {
      const JobRange range = workers.takeBackOldest();
      EXPECT_EQ(range.first, 3 * round + k);
      EXPECT_TRUE(done[range.first]) << "job " << range.first << " taken back unfinished";
    }
  }
  EXPECT_EQ(workers.inHand(), 0u);
}

// Jobs 2 and 4 fail, 4 first; job 3 is still running then. The failure
// taken back is job 2's, once job 3 has finished, and no job after those
// running starts.
TEST(CopyWorkers, TheEarliestFailureComesBackOnceNothingRuns) {
  CopyWorkers workers(3, 8);
  Waitable<bool> fourFailed;
  std::atomic<bool> takingBack = false, threeFinished = false, laterStarted = false;
  std::atomic<int> started = 0;
  auto job = [&](std::size_t j, std::function<void()> work) {
    workers.handIn({j, j + 1}, [&, work] {
      ++started;
      work();
    });
  };
  job(0, [] {});
  job(1, [] {});
  job(2, [&] {
    fourFailed.waitUntil(isTrue);
    throw std::runtime_error("job 2");
  });
  job(3, [&] {
    fourFailed.waitUntil(isTrue);
    // Still running when job 4's failure is known and taking back begins.
    while (!takingBack || !workers.failed()) std::this_thread::yield();
    threeFinished = true;
  });
  job(4, [&] {
    fourFailed.set(true);
    throw std::runtime_error("job 4");
  });
  fourFailed.waitUntil(isTrue);
  for (std::size_t j = 5; j < 8; ++j) job(j, [&] { laterStarted = true; });
  std::size_t takenBack = 0;  // jobs 0 and 1, if taken before the failure
  try {
    for (;;) {
      takingBack = true;
      workers.takeBackOldest();
      ++takenBack;
    }
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "job 2");
  }
  EXPECT_TRUE(threeFinished);
  EXPECT_TRUE(workers.failed());
  // Jobs 0 to 4 started, those not taken back are still in hand; the last
  // three never started.
  EXPECT_LE(takenBack, 2u);
  workers.stop();
  EXPECT_EQ(started, 5);
  EXPECT_FALSE(laterStarted);
}

// With one thread each job runs in the caller's thread as it is handed in;
// a failure is known at once and is what the next take gives back.
TEST(CopyWorkers, WithOneThreadEachJobRunsAsItIsHandedIn) {
  CopyWorkers workers(1, 8);
  std::vector<std::string> events;
  const auto caller = std::this_thread::get_id();
  for (std::size_t i = 0; i < 3; ++i) {
    workers.handIn({i, i + 1}, [&, i] {
      EXPECT_EQ(std::this_thread::get_id(), caller);
      events.push_back("job " + std::to_string(i));
      if (i == 2) throw std::runtime_error("job 2");
    });
    events.push_back("handed " + std::to_string(i));
  }
  EXPECT_EQ(events, (std::vector<std::string>{"job 0", "handed 0", "job 1", "handed 1", "job 2",
                                              "handed 2"}));
  EXPECT_TRUE(workers.failed());
  try {
    workers.takeBackOldest();
    FAIL() << "the failure should come back first";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "job 2");
  }
  workers.stop();
  EXPECT_EQ(events.size(), 6u);
}

}  // namespace
}  // namespace kavo
