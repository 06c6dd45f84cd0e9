// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "export/copy_workers.h"

#include <algorithm>

namespace kavo {

CopyWorkers::CopyWorkers(std::size_t threads, std::size_t window)
    : window_(std::max<std::size_t>(window, 1)) {
  if (threads > 1)
    for (std::size_t i = 0; i < threads; ++i) threads_.emplace_back([this] { serve(); });
}

CopyWorkers::~CopyWorkers() {
  stop();
  for (std::thread& thread : threads_) thread.join();
}

void CopyWorkers::handIn(JobRange range, std::function<void()> job) {
  ranges_.push_back(range);
  if (threads_.empty()) {
    std::exception_ptr failure;
    try {
      job();
    } catch (...) {
      failure = std::current_exception();
      failed_ = true;
    }
    std::lock_guard lock(mutex_);
    jobs_.push_back({{}, true, failure});
    ++next_;
    ++inHand_;
    return;
  }
  bool idle;
  {
    std::lock_guard lock(mutex_);
    jobs_.push_back({std::move(job), false, nullptr});
    idle = idle_ > 0;
  }
  ++inHand_;
  if (idle) toDo_.notify_one();
}

JobRange CopyWorkers::takeBackOldest() {
  std::unique_lock lock(mutex_);
  waitForEnd(lock,
             [&] { return failed_ ? running_ == 0 : !jobs_.empty() && jobs_.front().finished; });
  if (failed_) {
    // Nothing more starts, and nothing is still being written when the
    // caller takes the export back.
    stopping_ = true;
    toDo_.notify_all();
    for (const Job& job : jobs_)
      if (job.failure) std::rethrow_exception(job.failure);
  }
  jobs_.pop_front();
  --next_;
  --inHand_;
  const JobRange range = ranges_.front();
  ranges_.pop_front();
  return range;
}

void CopyWorkers::takeBackOldestInTurn() {
  std::unique_lock lock(mutex_);
  // Jobs start in order, and a failure only stops those after the ones
  // that started, so the oldest one always finishes.
  waitForEnd(lock, [&] { return jobs_.front().finished; });
  const std::exception_ptr failure = jobs_.front().failure;
  jobs_.pop_front();
  --next_;
  --inHand_;
  ranges_.pop_front();
  if (failure) std::rethrow_exception(failure);
}

template <typename Ended>
void CopyWorkers::waitForEnd(std::unique_lock<std::mutex>& lock, Ended ended) {
  waiting_ = true;
  done_.wait(lock, ended);
  waiting_ = false;
}

void CopyWorkers::stop() {
  std::unique_lock lock(mutex_);
  stopping_ = true;
  toDo_.notify_all();
  waitForEnd(lock, [&] { return running_ == 0; });
}

void CopyWorkers::serve() {
  std::unique_lock lock(mutex_);
  for (;;) {
    // After a failure nothing new starts; the thread only waits to go.
    ++idle_;
    toDo_.wait(lock, [&] { return stopping_ || (!failed_ && next_ < jobs_.size()); });
    --idle_;
    if (stopping_) return;
    // Jobs only leave the front once finished, and a deque keeps references
    // to its other elements valid, so this one stays put while it runs.
    Job& job = jobs_[next_++];
    ++running_;
    std::function<void()> work = std::move(job.work);
    lock.unlock();
    std::exception_ptr failed;
    try {
      work();
    } catch (...) {
      failed = std::current_exception();
    }
    lock.lock();
    --running_;
    job.finished = true;
    if (failed) {
      job.failure = failed;
      failed_ = true;
    }
    // Only the caller waits for a job's end, and it is woken only when it
    // waits: a job that ends while the caller hands in more costs nothing.
    if (waiting_) done_.notify_one();
  }
}

}  // namespace kavo
