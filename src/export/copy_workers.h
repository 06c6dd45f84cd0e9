// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace kavo {

// The list indices a job works on: from `first` to before `end`.
struct JobRange {
  std::size_t first = 0, end = 0;
};

// Runs jobs (copies) on a few threads at once. Jobs start in the order they
// are handed in and may finish in any order; the caller takes them back in
// the order it handed them in, and each tells the list indices it works on. At most `window` jobs
// are in hand at once (handed in and not yet taken back), so memory stays flat however many there
// are. The first job to fail stops the rest: those not yet started never start, and the failure is
// what the caller takes back next: the failure of the earliest job in list order, once none is
// running. With one thread or none, each job runs at once in the caller's thread, as it is handed
// in, so the jobs' effects keep their order with the caller's own (a dry run's plan lists them as
// they come).
class CopyWorkers {
 public:
  CopyWorkers(std::size_t threads, std::size_t window);
  // Stops, and waits for the jobs that are running.
  ~CopyWorkers();
  CopyWorkers(const CopyWorkers&) = delete;
  CopyWorkers& operator=(const CopyWorkers&) = delete;

  // Whether another job may be handed in without waiting for one to be
  // taken back first.
  bool hasRoom() const { return inHand_ < window_; }

  // Hands in the next job, which works on `range`; call only when hasRoom().
  void handIn(JobRange range, std::function<void()> job);

  // The range of the oldest job in hand.
  JobRange oldest() const { return ranges_.front(); }

  // Waits for the oldest job in hand to finish and takes it back, returning
  // its range. Once any job has failed, waits until none is running instead
  // and throws the failure of the earliest job that failed.
  JobRange takeBackOldest();

  // Waits for the oldest job in hand to finish and takes it back, throwing
  // its own failure if it failed; later jobs' failures wait their turn.
  void takeBackOldestInTurn();

  std::size_t inHand() const { return inHand_; }

  // Whether a job has failed: nothing more should be handed in.
  bool failed() const { return failed_; }

  // No job starts any more; returns when none is running.
  void stop();

 private:
  struct Job {
    std::function<void()> work;
    bool finished = false;
    std::exception_ptr failure;
  };
  void serve();
  // Waits on done_ until `ended`, with the lock held, saying so to the
  // workers.
  template <typename Ended>
  void waitForEnd(std::unique_lock<std::mutex>& lock, Ended ended);

  const std::size_t window_;
  std::size_t inHand_ = 0;       // touched by the caller's thread only
  std::deque<JobRange> ranges_;  // of the jobs in hand, likewise

  std::mutex mutex_;
  std::condition_variable toDo_;  // workers wait here for a job or the end
  std::condition_variable done_;  // the caller waits here for a job's end
  // The jobs in hand, oldest first; `next_` of them have been started.
  std::deque<Job> jobs_;
  std::size_t next_ = 0;
  std::size_t running_ = 0;
  std::size_t idle_ = 0;  // workers waiting for a job
  bool waiting_ = false;  // whether the caller waits for a job's end
  bool stopping_ = false;
  std::atomic<bool> failed_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace kavo
