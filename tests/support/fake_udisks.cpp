// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "support/fake_udisks.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <systemd/sd-bus.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <future>
#include <stdexcept>

namespace kavo::testing {

namespace {

const std::string kRoot = "/org/freedesktop/UDisks2";

std::string blockPath(const std::string& name) {
  return name.empty() ? "/" : kRoot + "/block_devices/" + name;
}
std::string drivePath(const std::string& name) {
  return name.empty() ? "/" : kRoot + "/drives/" + name;
}

}  // namespace

PrivateBus::PrivateBus() {
  // dbus-daemon prints its address once it listens; it comes through a
  // FIFO, read with a time limit, so that a daemon that never gets there
  // fails the test instead of hanging it.
  const std::string fifo = folder_ / "address";
  if (::mkfifo(fifo.c_str(), 0600) != 0) throw std::runtime_error("mkfifo failed");
  addressPipe_ = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (addressPipe_ < 0) throw std::runtime_error("cannot open the FIFO");
  ChildOptions options;
  options.standardOutput = fifo;
  daemon_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{KAVO_DBUS_DAEMON, "--session", "--nofork", "--nopidfile",
                               "--print-address", "--address=unix:path=" + (folder_ / "bus")},
      options);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (address_.empty() || address_.back() != '\n') {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    pollfd ready{addressPipe_, POLLIN, 0};
    char bytes[256];
    const ssize_t got = ::poll(&ready, 1, static_cast<int>(std::max<long>(left.count(), 0))) > 0
                            ? ::read(addressPipe_, bytes, sizeof bytes)
                            : 0;
    if (got <= 0 && !(got < 0 && errno == EAGAIN)) {
      daemon_->signal(SIGKILL);  // if it is still there, it is stuck
      ::close(addressPipe_);
      throw std::runtime_error("dbus-daemon did not start: " + daemon_->wait().err);
    }
    if (got > 0) address_.append(bytes, static_cast<std::size_t>(got));
  }
  address_.pop_back();
}

PrivateBus::~PrivateBus() {
  daemon_.reset();  // killed before its output's reader goes
  ::close(addressPipe_);
}

struct FakeUDisks::Object {
  FakeUDisks* owner;
  const FakeBlock* block;  // a block device, or
  const FakeDrive* drive;  // a drive
  std::string name;
};

namespace {

using Object = FakeUDisks::Object;

int blockProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                  void* data, sd_bus_error*) {
  const FakeBlock& block = *static_cast<Object*>(data)->block;
  const std::string name = property;
  if (name == "DeviceNumber") return sd_bus_message_append(reply, "t", block.deviceNumber);
  if (name == "Drive") return sd_bus_message_append(reply, "o", drivePath(block.drive).c_str());
  if (name == "CryptoBackingDevice")
    return sd_bus_message_append(reply, "o", blockPath(block.cryptoBacking).c_str());
  // Device, which the ejector does not read: a byte string with its NUL.
  const std::string device = "/dev/" + block.name;
  return sd_bus_message_append_array(reply, 'y', device.c_str(), device.size() + 1);
}

int mountPoints(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void* data,
                sd_bus_error*) {
  int result = sd_bus_message_open_container(reply, 'a', "ay");
  for (const std::string& point : static_cast<Object*>(data)->block->mountPoints)
    if (result >= 0)
      result = sd_bus_message_append_array(reply, 'y', point.c_str(), point.size() + 1);
  return result < 0 ? result : sd_bus_message_close_container(reply);
}

int driveProperty(sd_bus*, const char*, const char*, const char* property, sd_bus_message* reply,
                  void* data, sd_bus_error*) {
  const FakeDrive& drive = *static_cast<Object*>(data)->drive;
  const std::string name = property;
  if (name == "Vendor") return sd_bus_message_append(reply, "s", drive.vendor.c_str());
  if (name == "Model") return sd_bus_message_append(reply, "s", drive.model.c_str());
  const bool flag = name == "Removable"        ? drive.removable
                    : name == "MediaRemovable" ? drive.mediaRemovable
                    : name == "Ejectable"      ? drive.ejectable
                                               : drive.canPowerOff;
  return sd_bus_message_append(reply, "b", static_cast<int>(flag));
}

// Unmount, Lock, PowerOff, Eject: noted, then answered as the setup says.
int method(sd_bus_message* call, void* data, sd_bus_error* error) {
  Object& object = *static_cast<Object*>(data);
  return object.owner->answer(call, object.name, error);
}

constexpr auto kConst = SD_BUS_VTABLE_PROPERTY_CONST;

const sd_bus_vtable kBlockTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Device", "ay", blockProperty, 0, kConst),
    SD_BUS_PROPERTY("DeviceNumber", "t", blockProperty, 0, kConst),
    SD_BUS_PROPERTY("Drive", "o", blockProperty, 0, kConst),
    SD_BUS_PROPERTY("CryptoBackingDevice", "o", blockProperty, 0, kConst),
    SD_BUS_VTABLE_END};
const sd_bus_vtable kFilesystemTable[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_PROPERTY("MountPoints", "aay", mountPoints, 0, kConst),
    SD_BUS_METHOD("Unmount", "a{sv}", "", method, 0), SD_BUS_VTABLE_END};
const sd_bus_vtable kEncryptedTable[] = {
    SD_BUS_VTABLE_START(0), SD_BUS_METHOD("Lock", "a{sv}", "", method, 0), SD_BUS_VTABLE_END};
const sd_bus_vtable kDriveTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_PROPERTY("Vendor", "s", driveProperty, 0, kConst),
    SD_BUS_PROPERTY("Model", "s", driveProperty, 0, kConst),
    SD_BUS_PROPERTY("Removable", "b", driveProperty, 0, kConst),
    SD_BUS_PROPERTY("MediaRemovable", "b", driveProperty, 0, kConst),
    SD_BUS_PROPERTY("Ejectable", "b", driveProperty, 0, kConst),
    SD_BUS_PROPERTY("CanPowerOff", "b", driveProperty, 0, kConst),
    SD_BUS_METHOD("PowerOff", "a{sv}", "", method, 0),
    SD_BUS_METHOD("Eject", "a{sv}", "", method, 0),
    SD_BUS_VTABLE_END};

}  // namespace

FakeUDisks::FakeUDisks(const std::string& busAddress, FakeUDisksSetup setup)
    : setup_(std::move(setup)) {
  for (const FakeBlock& block : setup_.blocks)
    objects_.push_back(std::make_unique<Object>(Object{this, &block, nullptr, block.name}));
  for (const FakeDrive& drive : setup_.drives)
    objects_.push_back(std::make_unique<Object>(Object{this, nullptr, &drive, drive.name}));
  std::promise<void> started;
  std::future<void> served = started.get_future();
  thread_ = std::thread([this, busAddress, &started] { serve(busAddress, started); });
  try {
    served.get();  // rethrows what kept it from serving
  } catch (...) {
    thread_.join();
    throw;
  }
}

FakeUDisks::~FakeUDisks() {
  stop_ = true;
  thread_.join();
}

std::vector<std::string> FakeUDisks::calls() const {
  std::lock_guard lock(mutex_);
  return calls_;
}

int FakeUDisks::answer(sd_bus_message* call, const std::string& object, sd_bus_error* error) {
  const std::string noted = std::string(sd_bus_message_get_member(call)) + " " + object;
  {
    std::lock_guard lock(mutex_);
    calls_.push_back(noted);
  }
  const auto failure = setup_.failures.find(noted);
  if (failure == setup_.failures.end()) return sd_bus_reply_method_return(call, "");
  if (failure->second == kNoAnswer) {
    unanswered_.push_back(sd_bus_message_ref(call));
    return 1;
  }
  return sd_bus_error_set(error, failure->second.c_str(), failureMessage(noted).c_str());
}

void FakeUDisks::serve(const std::string& busAddress, std::promise<void>& started) {
  sd_bus* bus = nullptr;
  const auto fail = [&](const char* what, int result) {
    sd_bus_close_unref(bus);
    started.set_exception(std::make_exception_ptr(
        std::runtime_error(std::string(what) + ": " + std::strerror(-result))));
  };
  int result = sd_bus_new(&bus);
  if (result >= 0) result = sd_bus_set_address(bus, busAddress.c_str());
  if (result >= 0) result = sd_bus_set_bus_client(bus, 1);
  if (result >= 0) result = sd_bus_start(bus);
  if (result < 0) return fail("cannot connect to the private bus", result);
  result = sd_bus_add_object_manager(bus, nullptr, kRoot.c_str());
  for (const auto& object : objects_) {
    const auto add = [&](const std::string& path, const char* interface,
                         const sd_bus_vtable* table) {
      if (result >= 0)
        result =
            sd_bus_add_object_vtable(bus, nullptr, path.c_str(), interface, table, object.get());
    };
    if (object->drive) {
      add(drivePath(object->name), "org.freedesktop.UDisks2.Drive", kDriveTable);
      continue;
    }
    const std::string path = blockPath(object->name);
    add(path, "org.freedesktop.UDisks2.Block", kBlockTable);
    if (object->block->filesystem)
      add(path, "org.freedesktop.UDisks2.Filesystem", kFilesystemTable);
    if (object->block->encrypted) add(path, "org.freedesktop.UDisks2.Encrypted", kEncryptedTable);
  }
  if (result < 0) return fail("cannot serve the objects", result);
  // Taking over from a stand-in of an earlier test that has not quite let
  // go of the name.
  result = sd_bus_request_name(bus, "org.freedesktop.UDisks2",
                               SD_BUS_NAME_REPLACE_EXISTING | SD_BUS_NAME_ALLOW_REPLACEMENT);
  if (result < 0) return fail("cannot take udisks2's name", result);
  started.set_value();
  while (!stop_) {
    if (sd_bus_process(bus, nullptr) > 0) continue;
    sd_bus_wait(bus, 20'000);
  }
  for (sd_bus_message* call : unanswered_) sd_bus_message_unref(call);
  sd_bus_flush_close_unref(bus);
}

}  // namespace kavo::testing
