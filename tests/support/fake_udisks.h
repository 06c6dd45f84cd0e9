// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <systemd/sd-bus.h>

#include <atomic>
#include <cstdint>
#include <future>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/temp_directory.h"

namespace kavo::testing {

// A bus of its own (dbus-daemon), gone with the object.
class PrivateBus {
 public:
  PrivateBus();
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;
  const std::string& address() const { return address_; }

 private:
  TempDirectory folder_;
  int addressPipe_ = -1;
  std::unique_ptr<ChildProcess> daemon_;
  std::string address_;
};

// A block device the stand-in serves as .../block_devices/<name>.
struct FakeBlock {
  std::string name;
  std::uint64_t deviceNumber = 0;
  std::string drive;          // a FakeDrive's name; empty: none, as for a loop device
  std::string cryptoBacking;  // the FakeBlock it was unlocked from; empty: none
  bool filesystem = false;
  std::vector<std::string> mountPoints;
  bool encrypted = false;
};

// A drive it serves as .../drives/<name>.
struct FakeDrive {
  std::string name;
  bool removable = false, mediaRemovable = false, ejectable = false, canPowerOff = false;
  std::string vendor, model;
};

// The answer a call gets instead of success: a D-Bus error's name, or
// kNoAnswer for none at all.
inline constexpr const char* kNoAnswer = "no answer";

struct FakeUDisksSetup {
  std::vector<FakeBlock> blocks;
  std::vector<FakeDrive> drives;
  // "Unmount sdb1", "PowerOff stick": the error that call answers with.
  std::map<std::string, std::string> failures;
};

// A stand-in for udisks2 on a bus: its object manager, the Block,
// Filesystem, Encrypted and Drive interfaces with the properties an
// ejector reads, and the methods it calls, which only note that they were
// called. Served by a thread of its own until the object goes.
class FakeUDisks {
 public:
  FakeUDisks(const std::string& busAddress, FakeUDisksSetup setup);
  ~FakeUDisks();
  FakeUDisks(const FakeUDisks&) = delete;
  FakeUDisks& operator=(const FakeUDisks&) = delete;

  // Each method called so far, in order, as "<method> <object name>".
  std::vector<std::string> calls() const;

  // The error message a failing call answers with.
  static std::string failureMessage(const std::string& call) { return call + " failed here"; }

  struct Object;  // what a served object's callbacks see
  // Notes a call to `object` and answers it as the setup says.
  int answer(sd_bus_message* call, const std::string& object, sd_bus_error* error);

 private:
  void serve(const std::string& busAddress, std::promise<void>& started);

  FakeUDisksSetup setup_;
  std::vector<std::unique_ptr<Object>> objects_;
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::atomic<bool> stop_{false};
  std::vector<sd_bus_message*> unanswered_;  // kept until the end, never answered
  std::thread thread_;
};

}  // namespace kavo::testing
