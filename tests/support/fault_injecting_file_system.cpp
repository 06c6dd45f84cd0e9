// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/fault_injecting_file_system.h"

namespace kavo::testing {

namespace {

// A wrapper's real object, the path its calls name, and who decides.
template <typename Real>
struct Wrapped {
  std::unique_ptr<Real> real;
  std::string path;
  FaultInjectingFileSystem& faults;
};

struct FaultyFile final : WritableFile, Wrapped<WritableFile> {
  explicit FaultyFile(Wrapped<WritableFile> file) : Wrapped(std::move(file)) {}
  void print(std::string_view bytes) override {
    if (faults.failsNext(Service::Print)) real->print(bytes.substr(0, bytes.size() / 2));
    faults.passing(Service::Print, path);
    real->print(bytes);
  }
  void setModified(std::int64_t seconds, std::uint32_t nanoseconds) override {
    real->setModified(seconds, nanoseconds);
  }
  void close() override {
    real->close();
    faults.passing(Service::Close, path);
  }
};

struct FaultyReader final : ReadableFile, Wrapped<ReadableFile> {
  explicit FaultyReader(Wrapped<ReadableFile> file)
      : ReadableFile(file.real->status()), Wrapped(std::move(file)) {}
  std::size_t read(char* buffer, std::size_t size) override {
    faults.passing(Service::ReadBack, path);
    return real->read(buffer, size);
  }
  std::size_t readAt(std::uint64_t offset, char* buffer, std::size_t size) override {
    faults.passing(Service::ReadBack, path);
    return real->readAt(offset, buffer, size);
  }
};

struct FaultySync final : VolumeSync, Wrapped<VolumeSync> {
  explicit FaultySync(Wrapped<VolumeSync> sync) : Wrapped(std::move(sync)) {}
  void sync() override {
    faults.passing(Service::Sync, path);
    real->sync();
  }
};

}  // namespace

const char* nameOf(Service service) {
  static const char* const kNames[] = {"look",  "read back",      "lock", "open",   "print",
                                       "close", "make directory", "copy", "rename", "remove",
                                       "sync"};
  return kNames[static_cast<int>(service)];
}

std::unique_ptr<WritableFile> FaultInjectingFileSystem::createNew(const std::string& path) {
  return std::make_unique<FaultyFile>(
      Wrapped<WritableFile>{ForwardingFileSystem::createNew(path), path, *this});
}

std::unique_ptr<ReadableFile> FaultInjectingFileSystem::openForReading(const std::string& path,
                                                                       Reading reading) {
  auto file = ForwardingFileSystem::openForReading(path, reading);
  if (reading == Reading::Cached) return file;
  return std::make_unique<FaultyReader>(Wrapped<ReadableFile>{std::move(file), path, *this});
}

std::unique_ptr<VolumeSync> FaultInjectingFileSystem::watchVolume(const std::string& directory) {
  return std::make_unique<FaultySync>(
      Wrapped<VolumeSync>{ForwardingFileSystem::watchVolume(directory), directory, *this});
}

void FaultInjectingFileSystem::passing(Service service, const std::string& path,
                                       const std::string&) {
  if (service != service_ || ++calls_ != failingCall_) return;
  const bool directory =
      service == Service::MakeDirectory || service == Service::Sync || service == Service::Lock;
  throw hostError(fault_, path, directory ? Role::Directory : Role::File);
}

}  // namespace kavo::testing
