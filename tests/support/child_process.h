// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <sys/types.h>

#include <chrono>
#include <optional>
#include <string>
#include <vector>

namespace kavo::testing {

// How a child ended: its exit status, or 128 plus the signal that ended it,
// and what it wrote.
struct ChildResult {
  int status = -1;
  std::string out, err;
};

struct ChildOptions {
  std::optional<unsigned long> fileSizeLimit;  // bytes, as ulimit -f sets it
  std::string standardOutput;                  // a path; empty: captured
  bool outputToClosedPipe = false;             // standard output: a pipe nobody reads
};

// A program started from a test, its output captured in files so that it
// never blocks on a full pipe.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& argv, ChildOptions options = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  void signal(int number) const;
  // Whether it has ended, without waiting for it.
  bool ended();
  ChildResult wait();

 private:
  pid_t pid_ = -1;
  std::string outPath_, errPath_;
  std::optional<int> status_;
};

// Waits until `name` stands in `directory`, as a process it started makes
// it: woken by the kernel (inotify) rather than by looking again and again.
// Gives up after `timeout`; returns whether it stands there.
bool waitForEntry(const std::string& directory, const std::string& name,
                  std::chrono::milliseconds timeout);

// Runs a program to its end.
ChildResult runChild(const std::vector<std::string>& argv, ChildOptions options = {});

// The command that runs a program as the unprivileged user "nobody" when
// this process is root (setpriv), or as it is otherwise; empty when it
// cannot be done here.
std::vector<std::string> asUnprivileged(std::vector<std::string> argv);

}  // namespace kavo::testing
