// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <atomic>
#include <mutex>
#include <string>

#include "platform/services/forwarding_file_system.h"

namespace kavo::testing {

// The services a fault can be injected into: the calls a forwarding file
// system passes, and the files and volume syncs it hands out.
using Service = FileCall;
inline constexpr std::array kAllServices = {
    Service::Look,   Service::ReadBack, Service::Lock,          Service::Open,
    Service::Print,  Service::Close,    Service::MakeDirectory, Service::Copy,
    Service::Rename, Service::Remove,   Service::Sync};
const char* nameOf(Service service);

// Wraps a real file system and fails the k-th call (from 1) of one service
// (each read from the medium is a call) with one errno, as the host would
// report it. Calls may come from several threads; the k-th is the k-th to
// arrive. A failed call does nothing, except that a print writes the first
// half of its bytes (a short write), and close closes the file first (a
// late write-back lost).
class FaultInjectingFileSystem final : public ForwardingFileSystem {
 public:
  FaultInjectingFileSystem(FileSystem& target, Service service, int failingCall, int errnoValue)
      : ForwardingFileSystem(target),
        service_(service),
        failingCall_(failingCall),
        errno_(errnoValue) {}

  bool injected() const { return injected_; }  // the fault, yet

  std::unique_ptr<WritableFile> createNew(const std::string& path) override;
  std::unique_ptr<ReadableFile> openForReading(const std::string& path,
                                               Reading reading = Reading::Cached) override;
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override;

  // Counts a call of `service` and throws the injected error, naming `path`,
  // when it is the failing one.
  void passing(Service service, const std::string& path, const std::string& = {}) override;
  // Whether the next call of `service` is the failing one.
  bool failsNext(Service service) const;

 private:
  Service service_;
  int failingCall_;
  int errno_;
  mutable std::mutex mutex_;  // copies run on several threads at once
  int calls_ = 0;
  std::atomic<bool> injected_ = false;
};

}  // namespace kavo::testing
