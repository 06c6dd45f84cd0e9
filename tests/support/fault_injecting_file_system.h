// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#pragma once

#include <array>
#include <atomic>

#include "platform/services/forwarding_file_system.h"
#include "support/host_errors.h"

namespace kavo::testing {

// The services a fault can be injected into: the calls a forwarding file
// system passes, and the files and volume syncs it hands out.
using Service = FileCall;
inline constexpr std::array kAllServices = {
    Service::Look,   Service::ReadBack, Service::Lock,          Service::Open,
    Service::Print,  Service::Close,    Service::MakeDirectory, Service::Copy,
    Service::Rename, Service::Remove,   Service::Sync};
const char* nameOf(Service service);

// The faults a sweep injects: a full disk, an I/O error, a permission
// denied and a missing path.
inline constexpr std::array kInjectedFaults = {HostError::NoSpace, HostError::IoError,
                                               HostError::AccessDenied, HostError::NotFound};

// Wraps a real file system and fails the k-th call (from 1) of one service
// (each read from the medium is a call) with one fault, as the host would
// report it. Calls may come from several threads; the k-th is the k-th to
// arrive. A failed call does nothing, except that a print writes the first
// half of its bytes (a short write), and close closes the file first (a
// late write-back lost).
class FaultInjectingFileSystem final : public ForwardingFileSystem {
 public:
  FaultInjectingFileSystem(FileSystem& target, Service service, int failingCall, HostError fault)
      : ForwardingFileSystem(target), service_(service), failingCall_(failingCall), fault_(fault) {}

  bool injected() const { return calls_ >= failingCall_; }  // the fault, yet

  std::unique_ptr<WritableFile> createNew(const std::string& path) override;
  std::unique_ptr<ReadableFile> openForReading(const std::string& path,
                                               Reading reading = Reading::Cached) override;
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override;

  // Counts a call of `service` and throws the injected error, naming `path`
  // (a directory's as a directory's), when it is the failing one.
  void passing(Service service, const std::string& path, const std::string& = {}) override;
  // Whether the next call of `service` is the failing one.
  bool failsNext(Service service) const {
    return service == service_ && calls_ + 1 == failingCall_;
  }

 private:
  const Service service_;
  const int failingCall_;
  const HostError fault_;
  std::atomic<int> calls_ = 0;  // of the service; copies run on several threads at once
};

}  // namespace kavo::testing
