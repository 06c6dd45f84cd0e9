#include "export/copy_workers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace kavo {
namespace {

using namespace std::chrono_literals;

// Later jobs finish first: job i sleeps (count - i) ms. They are still taken
// back in the order handed in, and never more than the window are in hand.
TEST(CopyWorkers, JobsFinishInAnyOrderAndAreTakenBackInTheirOwn) {
  constexpr int kJobs = 12;
  CopyWorkers workers(4, 3);
  std::vector<std::atomic<bool>> done(kJobs);
  int takenBack = 0;
  for (int i = 0; i < kJobs; ++i) {
    while (!workers.hasRoom()) {
      workers.takeBackOldest();
      EXPECT_TRUE(done[takenBack]) << "job " << takenBack << " taken back unfinished";
      ++takenBack;
    }
    EXPECT_LE(workers.inHand(), 3u);
    workers.handIn([&done, i] {
      std::this_thread::sleep_for(std::chrono::milliseconds(kJobs - i));
      done[i] = true;
    });
  }
  while (workers.inHand() > 0) {
    workers.takeBackOldest();
    EXPECT_TRUE(done[takenBack]);
    ++takenBack;
  }
  EXPECT_EQ(takenBack, kJobs);
}

// Jobs 2 and 4 fail, 4 first; job 3 is still running then. The failure
// taken back is job 2's, once job 3 has finished, and no job after those
// running starts.
TEST(CopyWorkers, TheEarliestFailureComesBackOnceNothingRuns) {
  CopyWorkers workers(3, 8);
  std::promise<void> fourFailed;
  std::shared_future<void> fourHasFailed = fourFailed.get_future().share();
  std::atomic<bool> threeFinished = false, laterStarted = false;
  std::atomic<int> started = 0;
  workers.handIn([&] { ++started; });
  workers.handIn([&] { ++started; });
  workers.handIn([&] {
    ++started;
    fourHasFailed.wait();
    throw std::runtime_error("job 2");
  });
  workers.handIn([&] {
    ++started;
    fourHasFailed.wait();
    std::this_thread::sleep_for(20ms);
    threeFinished = true;
  });
  workers.handIn([&] {
    ++started;
    fourFailed.set_value();
    throw std::runtime_error("job 4");
  });
  fourHasFailed.wait();
  for (int i = 0; i < 3; ++i) workers.handIn([&] { laterStarted = true; });
  std::size_t takenBack = 0;  // jobs 0 and 1, if taken before the failure
  try {
    for (;;) {
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
  EXPECT_EQ(takenBack + workers.stop(), 5u);
  EXPECT_EQ(started, 5);
  EXPECT_FALSE(laterStarted);
}

// With one thread each job runs in the caller's thread as it is handed in;
// a failure is known at once and is what the next take gives back.
TEST(CopyWorkers, WithOneThreadEachJobRunsAsItIsHandedIn) {
  CopyWorkers workers(1, 8);
  std::vector<std::string> events;
  const auto caller = std::this_thread::get_id();
  for (int i = 0; i < 3; ++i) {
    workers.handIn([&, i] {
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
  EXPECT_EQ(workers.stop(), 3u);
}

}  // namespace
}  // namespace kavo
