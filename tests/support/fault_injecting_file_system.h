#pragma once

#include <array>
#include <string>

#include "platform/forwarding_file_system.h"

namespace kavo::testing {

// The services a fault can be injected into.
enum class Service { MakeDirectory, Open, Print, Close, Sync, Copy };
inline constexpr std::array kAllServices = {Service::MakeDirectory, Service::Open,
                                            Service::Print,         Service::Close,
                                            Service::Sync,          Service::Copy};
const char* nameOf(Service service);

// Wraps a real file system and fails the k-th call (from 1) of one service
// with one errno, as the host would report it. Open covers opening a file for
// output or append; Sync covers starting to watch a volume and flushing it.
// A failed call does nothing, except close, which closes the file and then
// reports the failure, as a close that loses a late write-back does.
class FaultInjectingFileSystem final : public ForwardingFileSystem {
 public:
  FaultInjectingFileSystem(FileSystem& target, Service service, int failingCall,
                           int errnoValue);

  // Whether the fault has been injected.
  bool injected() const { return injected_; }

  std::unique_ptr<WritableFile> openForOutput(const std::string& path) override;
  std::unique_ptr<WritableFile> openForAppend(const std::string& path) override;
  void makeDirectory(const std::string& path) override;
  void copyFile(const std::string& from, const std::string& to) override;
  std::unique_ptr<VolumeSync> watchVolume(const std::string& directory) override;

  // Counts a call of `service` and throws the injected error, naming `path`,
  // when it is the failing one.
  void call(Service service, const std::string& path);

 private:
  std::unique_ptr<WritableFile> wrap(std::unique_ptr<WritableFile> file,
                                     const std::string& path);

  Service service_;
  int failingCall_;
  int errno_;
  int calls_ = 0;
  bool injected_ = false;
};

}  // namespace kavo::testing
