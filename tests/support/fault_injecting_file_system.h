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
// with one errno, as the host would report it. Calls may come from several
// threads; the k-th is the k-th to arrive. A failed call does nothing,
// except two that fail the way real ones do: a print writes the first half
// of its bytes and then fails (a short write), and close closes the file and
// then reports the failure, as a close that loses a late write-back does.
class FaultInjectingFileSystem final : public ForwardingFileSystem {
 public:
  FaultInjectingFileSystem(FileSystem& target, Service service, int failingCall, int errnoValue)
      : ForwardingFileSystem(target),
        service_(service),
        failingCall_(failingCall),
        errno_(errnoValue) {}

  // Whether the fault has been injected.
  bool injected() const { return injected_; }

  std::unique_ptr<WritableFile> createNew(const std::string& path) override;
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
  // Copies run on several threads at once, so the count is kept under a lock.
  mutable std::mutex mutex_;
  int calls_ = 0;
  std::atomic<bool> injected_ = false;
};

}  // namespace kavo::testing
