// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <stdexcept>

#include "support/temp_directory.h"

namespace kavo::testing {

namespace {

std::string scratchFile(const char* what) {
  std::string pattern = "/tmp/kavo-child-" + std::string(what) + "-XXXXXX";
  int fd = ::mkstemp(pattern.data());
  if (fd < 0) throw std::runtime_error("mkstemp failed");
  ::close(fd);
  return pattern;
}

int decode(int status) {
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

}  // namespace

ChildProcess::ChildProcess(const std::vector<std::string>& argv, ChildOptions options)
    : outPath_(options.standardOutput.empty() ? scratchFile("out") : ""),
      errPath_(scratchFile("err")) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const std::string out = outPath_.empty() ? options.standardOutput : outPath_;
  int pipeEnds[2] = {-1, -1};
  if (options.outputToClosedPipe && ::pipe(pipeEnds) != 0) throw std::runtime_error("pipe failed");
  pid_ = ::fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    // Only async-signal-safe calls from here on.
    if (options.fileSizeLimit) {
      rlimit limit{*options.fileSizeLimit, *options.fileSizeLimit};
      ::setrlimit(RLIMIT_FSIZE, &limit);
    }
    int outFd = options.outputToClosedPipe ? pipeEnds[1] : ::open(out.c_str(), O_WRONLY | O_TRUNC);
    if (options.outputToClosedPipe) ::close(pipeEnds[0]);
    int errFd = ::open(errPath_.c_str(), O_WRONLY | O_TRUNC);
    if (outFd < 0 || errFd < 0) ::_exit(126);
    ::dup2(outFd, STDOUT_FILENO);
    ::dup2(errFd, STDERR_FILENO);
    // A test run in the background may have SIGINT ignored; the child
    // starts with the default actions.
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(args[0], args.data());
    ::_exit(127);
  }
  for (const int end : pipeEnds)
    if (end >= 0) ::close(end);
}

ChildProcess::~ChildProcess() {
  if (!status_ && pid_ > 0) {
    ::kill(pid_, SIGKILL);
    int status;
    ::waitpid(pid_, &status, 0);
  }
  if (!outPath_.empty()) ::unlink(outPath_.c_str());
  ::unlink(errPath_.c_str());
}

void ChildProcess::signal(int number) const { ::kill(pid_, number); }

bool ChildProcess::ended() {
  if (status_) return true;
  int status;
  if (::waitpid(pid_, &status, WNOHANG) == pid_) status_ = decode(status);
  return status_.has_value();
}

ChildResult ChildProcess::wait() {
  if (!status_) {
    int status;
    while (::waitpid(pid_, &status, 0) < 0) {
    }
    status_ = decode(status);
  }
  ChildResult result;
  result.status = *status_;
  if (!outPath_.empty()) result.out = readFile(outPath_);
  result.err = readFile(errPath_);
  return result;
}

bool waitForEntry(const std::string& directory, const std::string& name,
                  std::chrono::milliseconds timeout) {
  const std::string path = directory + "/" + name;
  const int watch = ::inotify_init1(IN_CLOEXEC);
  if (watch < 0) throw std::runtime_error("inotify_init1 failed");
  ::inotify_add_watch(watch, directory.c_str(), IN_CREATE | IN_MOVED_TO);
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  bool there = ::access(path.c_str(), F_OK) == 0;
  while (!there && std::chrono::steady_clock::now() < deadline) {
    pollfd ready{watch, POLLIN, 0};
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (::poll(&ready, 1, static_cast<int>(std::max<long>(left.count(), 0))) > 0) {
      char events[4096];
      // Only emptied: the path itself is looked at below.
      [[maybe_unused]] ssize_t got = ::read(watch, events, sizeof events);
    }
    there = ::access(path.c_str(), F_OK) == 0;
  }
  ::close(watch);
  return there;
}

ChildResult runChild(const std::vector<std::string>& argv, ChildOptions options) {
  return ChildProcess(argv, std::move(options)).wait();
}

std::vector<std::string> asUnprivileged(std::vector<std::string> argv) {
  if (::geteuid() != 0) return argv;
  for (const char* setpriv : {"/usr/bin/setpriv", "/bin/setpriv"}) {
    if (::access(setpriv, X_OK) != 0) continue;
    std::vector<std::string> command = {setpriv, "--reuid=65534", "--regid=65534", "--clear-groups",
                                        "--"};
    command.insert(command.end(), argv.begin(), argv.end());
    return command;
  }
  return {};
}

}  // namespace kavo::testing
