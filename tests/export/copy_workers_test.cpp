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

}  // namespace
}  // namespace kavo
