// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Ejecting through udisks2, the service that desktops on Linux eject drives
// with, on the system bus. sd-bus rather than a toolkit's D-Bus, so that the
// command line needs no toolkit.

#include <sys/stat.h>
#include <systemd/sd-bus.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/services/drive_eject.h"

namespace kavo {

namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

constexpr const char* kService = "org.freedesktop.UDisks2";
constexpr const char* kRoot = "/org/freedesktop/UDisks2";
constexpr const char* kObjectManager = "org.freedesktop.DBus.ObjectManager";
constexpr const char* kBlock = "org.freedesktop.UDisks2.Block";
constexpr const char* kFilesystem = "org.freedesktop.UDisks2.Filesystem";
constexpr const char* kEncrypted = "org.freedesktop.UDisks2.Encrypted";
constexpr const char* kDrive = "org.freedesktop.UDisks2.Drive";

// udisks2's error names that change what is done or said.
constexpr const char* kDeviceBusy = "org.freedesktop.UDisks2.Error.DeviceBusy";
constexpr const char* kNotMounted = "org.freedesktop.UDisks2.Error.NotMounted";
constexpr const char* kNotSupported = "org.freedesktop.UDisks2.Error.NotSupported";
// NotAuthorized, NotAuthorizedCanObtain (a password would be asked where
// someone could type it) and NotAuthorizedDismissed (it was not given).
constexpr const char* kNotAuthorizedPrefix = "org.freedesktop.UDisks2.Error.NotAuthorized";
constexpr const char* kAccessDenied = "org.freedesktop.DBus.Error.AccessDenied";

// A failed call: the D-Bus error's name (empty when the bus itself failed
// or no answer came in time) and its message.
class BusError : public std::runtime_error {
 public:
  BusError(std::string name, const std::string& message)
      : std::runtime_error(message), name_(std::move(name)) {}
  const std::string& name() const { return name_; }

 private:
  std::string name_;
};

void check(int result, const char* what) {
  if (result < 0) throw BusError({}, std::string(what) + ": " + std::strerror(-result));
}

struct BusClose {
  void operator()(sd_bus* bus) const { sd_bus_close_unref(bus); }
};
struct MessageUnref {
  void operator()(sd_bus_message* message) const { sd_bus_message_unref(message); }
};
struct SlotUnref {
  void operator()(sd_bus_slot* slot) const { sd_bus_slot_unref(slot); }
};
using Message = std::unique_ptr<sd_bus_message, MessageUnref>;

std::string seconds(milliseconds time) {
  return std::to_string((time.count() + 999) / 1000) + " s";
}

// A connection to the system bus (DBUS_SYSTEM_BUS_ADDRESS when set) that
// waits for no answer longer than it is told to: every wait, connecting
// included, runs against a deadline of its own.
class SystemBus {
 public:
  SystemBus() {
    sd_bus* bus = nullptr;
    check(sd_bus_open_system(&bus), "no system bus");
    bus_.reset(bus);
    // Where a desktop session runs an agent, the system may ask the player
    // for a password instead of refusing at once.
    sd_bus_set_allow_interactive_authorization(bus, 1);
  }

  // Calls a method of udisks2 with no arguments, or with empty options, and
  // returns its answer; throws BusError for an error answer, a failed bus or
  // no answer within `timeout`.
  Message call(const std::string& path, const char* interface, const char* member,
               milliseconds timeout, bool withOptions = true) {
    sd_bus_message* raw = nullptr;
    check(
        sd_bus_message_new_method_call(bus_.get(), &raw, kService, path.c_str(), interface, member),
        "cannot make a call");
    const Message request(raw);
    if (withOptions) check(sd_bus_message_append(raw, "a{sv}", 0), "cannot make a call");

    sd_bus_message* answer = nullptr;
    sd_bus_slot* rawSlot = nullptr;
    const auto keep = [](sd_bus_message* message, void* into, sd_bus_error*) {
      *static_cast<sd_bus_message**>(into) = sd_bus_message_ref(message);
      return 1;
    };
    // sd-bus's own limit comes after the deadline, which is the one that
    // counts; a NoReply that comes back is then a peer that went away.
    const auto usec =
        std::chrono::duration_cast<std::chrono::microseconds>(timeout + std::chrono::seconds(1));
    check(sd_bus_call_async(bus_.get(), &rawSlot, raw, keep, &answer, usec.count()),
          "cannot call udisks2");
    const std::unique_ptr<sd_bus_slot, SlotUnref> slot(rawSlot);
    const auto deadline = steady_clock::now() + timeout;
    while (answer == nullptr) {
      const int processed = sd_bus_process(bus_.get(), nullptr);
      check(processed, "the system bus failed");
      if (processed > 0) continue;
      const auto left = deadline - steady_clock::now();
      if (left <= steady_clock::duration::zero())
        throw BusError({}, "udisks2 gave no answer within " + seconds(timeout));
      const int waited = sd_bus_wait(
          bus_.get(), std::chrono::duration_cast<std::chrono::microseconds>(left).count() + 1);
      if (waited != -EINTR) check(waited, "the system bus failed");
    }
    Message reply(answer);
    if (sd_bus_message_is_method_error(answer, nullptr)) {
      const sd_bus_error* error = sd_bus_message_get_error(answer);
      throw BusError(error->name, error->message ? error->message : error->name);
    }
    return reply;
  }

 private:
  std::unique_ptr<sd_bus, BusClose> bus_;
};

// What GetManagedObjects says of the block devices and drives.
struct Block {
  bool isBlock = false;
  std::uint64_t deviceNumber = 0;
  std::string drive = "/";  // "/": none, as for a loop device or an unlocked volume
  std::string cryptoBacking = "/";
  bool isFilesystem = false;
  std::vector<std::string> mountPoints;
  bool encrypted = false;
};
struct Drive {
  bool removable = false, mediaRemovable = false, ejectable = false, canPowerOff = false;
  std::string vendor, model;
};
struct Objects {
  std::map<std::string, Block> blocks;
  std::map<std::string, Drive> drives;
};

// Reads a reply, throwing BusError when it is not what udisks2 sends.
class Reader {
 public:
  explicit Reader(sd_bus_message* message) : m_(message) {}

  bool enter(char type, const char* contents) {
    return valid(sd_bus_message_enter_container(m_, type, contents)) > 0;
  }
  void exit() { valid(sd_bus_message_exit_container(m_)); }
  std::string text(char type) {
    const char* value = nullptr;
    valid(sd_bus_message_read_basic(m_, type, &value));
    return value;
  }
  std::uint64_t number() {
    std::uint64_t value = 0;
    valid(sd_bus_message_read_basic(m_, 't', &value));
    return value;
  }
  bool flag() {
    int value = 0;
    valid(sd_bus_message_read_basic(m_, 'b', &value));
    return value != 0;
  }
  // A byte string, as udisks2 gives paths: NUL-terminated.
  bool bytes(std::string& into) {
    const void* data = nullptr;
    std::size_t size = 0;
    if (valid(sd_bus_message_read_array(m_, 'y', &data, &size)) == 0) return false;
    into.assign(static_cast<const char*>(data), size);
    into.erase(std::min(into.find('\0'), into.size()));
    return true;
  }

  // Reads a property's value with `read` when it has `signature`; a value
  // of another type is passed over, as is every property no one asked for.
  template <typename Read>
  void value(const char* signature, Read read) {
    char type = 0;
    const char* contents = nullptr;
    valid(sd_bus_message_peek_type(m_, &type, &contents));
    if (type != 'v' || contents == nullptr || std::strcmp(contents, signature) != 0) {
      skipValue();
      return;
    }
    enter('v', signature);
    read();
    exit();
  }
  void skipValue() { valid(sd_bus_message_skip(m_, "v")); }

 private:
  int valid(int result) {
    if (result < 0)
      throw BusError({},
                     std::string("udisks2's answer could not be read: ") + std::strerror(-result));
    return result;
  }
  sd_bus_message* m_;
};

void readProperty(Reader& reader, const std::string& interface, const std::string& name,
                  Block& block, Drive& drive) {
  if (interface == kBlock && name == "DeviceNumber")
    reader.value("t", [&] { block.deviceNumber = reader.number(); });
  else if (interface == kBlock && name == "Drive")
    reader.value("o", [&] { block.drive = reader.text('o'); });
  else if (interface == kBlock && name == "CryptoBackingDevice")
    reader.value("o", [&] { block.cryptoBacking = reader.text('o'); });
  else if (interface == kFilesystem && name == "MountPoints")
    reader.value("aay", [&] {
      reader.enter('a', "ay");
      for (std::string point; reader.bytes(point);) block.mountPoints.push_back(point);
      reader.exit();
    });
  else if (interface == kDrive && (name == "Vendor" || name == "Model"))
    reader.value("s", [&] { (name == "Vendor" ? drive.vendor : drive.model) = reader.text('s'); });
  else if (interface == kDrive && name == "Removable")
    reader.value("b", [&] { drive.removable = reader.flag(); });
  else if (interface == kDrive && name == "MediaRemovable")
    reader.value("b", [&] { drive.mediaRemovable = reader.flag(); });
  else if (interface == kDrive && name == "Ejectable")
    reader.value("b", [&] { drive.ejectable = reader.flag(); });
  else if (interface == kDrive && name == "CanPowerOff")
    reader.value("b", [&] { drive.canPowerOff = reader.flag(); });
  else
    reader.skipValue();
}

// GetManagedObjects' answer: a{oa{sa{sv}}}, object to interface to property.
Objects readObjects(sd_bus_message* reply) {
  Reader reader(reply);
  Objects objects;
  reader.enter('a', "{oa{sa{sv}}}");
  while (reader.enter('e', "oa{sa{sv}}")) {
    const std::string path = reader.text('o');
    Block block;
    Drive drive;
    bool isDrive = false;
    reader.enter('a', "{sa{sv}}");
    while (reader.enter('e', "sa{sv}")) {
      const std::string interface = reader.text('s');
      block.isBlock |= interface == kBlock;
      block.isFilesystem |= interface == kFilesystem;
      block.encrypted |= interface == kEncrypted;
      isDrive |= interface == kDrive;
      reader.enter('a', "{sv}");
      while (reader.enter('e', "sv")) {
        const std::string name = reader.text('s');
        readProperty(reader, interface, name, block, drive);
        reader.exit();
      }
      reader.exit();
      reader.exit();
    }
    reader.exit();
    reader.exit();
    if (block.isBlock) objects.blocks[path] = std::move(block);
    if (isDrive) objects.drives[path] = std::move(drive);
  }
  reader.exit();
  return objects;
}

// Whether `path` is `mountPoint` or lies under it.
bool isUnder(const std::string& path, const std::string& mountPoint) {
  if (mountPoint == "/") return true;
  return path.compare(0, mountPoint.size(), mountPoint) == 0 &&
         (path.size() == mountPoint.size() || path[mountPoint.size()] == '/');
}

// The drive a block device lies on, through the encrypted volumes it was
// unlocked from, and how many of those lie between: "/" for none.
std::pair<std::string, int> driveOf(const Objects& objects, const std::string& path) {
  auto at = objects.blocks.find(path);
  for (int depth = 0; at != objects.blocks.end() && depth < 8; ++depth) {
    if (at->second.drive != "/") return {at->second.drive, depth};
    at = objects.blocks.find(at->second.cryptoBacking);
  }
  return {"/", 0};
}

// What ejecting takes: the file systems to unmount, the destination's
// last, so that a busy one leaves it mounted; then the encrypted volumes to
// lock, the innermost first; then the drive.
struct Plan {
  std::string drivePath;
  Drive drive;
  std::vector<std::string> unmount, lock;
};

// The plan for the drive `folder` lies on, or the reason it is not one
// that can be ejected.
std::optional<Plan> planEject(const Objects& objects, const std::string& folder, dev_t device,
                              std::string& refusal) {
  std::string destination;
  for (const auto& [path, block] : objects.blocks)
    if (block.deviceNumber == device && block.isFilesystem)
      for (const std::string& point : block.mountPoints)
        if (isUnder(folder, point)) destination = path;
  if (destination.empty()) {
    refusal = "its folder is not on a drive's volume";
    return std::nullopt;
  }
  Plan plan;
  plan.drivePath = driveOf(objects, destination).first;
  const auto drive = objects.drives.find(plan.drivePath);
  if (drive == objects.drives.end()) {
    refusal = "it lies on a disk image or a virtual device";
    return std::nullopt;
  }
  plan.drive = drive->second;
  if (!plan.drive.removable && !plan.drive.mediaRemovable && !plan.drive.ejectable) {
    refusal = "it lies on a built-in drive";
    return std::nullopt;
  }
  std::set<std::string> unlocked;  // encrypted volumes a block was unlocked from
  for (const auto& [path, block] : objects.blocks)
    if (block.cryptoBacking != "/") unlocked.insert(block.cryptoBacking);
  std::multimap<int, std::string, std::greater<>> locks;
  for (const auto& [path, block] : objects.blocks) {
    const auto [onDrive, depth] = driveOf(objects, path);
    if (onDrive != plan.drivePath) continue;
    for (const std::string& point : block.mountPoints) {
      if (point == "/") {
        refusal = "its drive holds the running system";
        return std::nullopt;
      }
    }
    if (block.isFilesystem && !block.mountPoints.empty() && path != destination)
      plan.unmount.push_back(path);
    if (block.encrypted && unlocked.count(path) != 0) locks.emplace(depth, path);
  }
  plan.unmount.push_back(destination);
  for (const auto& [depth, path] : locks) plan.lock.push_back(path);
  return plan;
}

EjectOutcome outcomeOf(const BusError& error) {
  if (error.name() == kDeviceBusy) return EjectOutcome::Busy;
  if (error.name().rfind(kNotAuthorizedPrefix, 0) == 0 || error.name() == kAccessDenied)
    return EjectOutcome::NotAllowed;
  return EjectOutcome::Failed;
}

std::string driveName(const Drive& drive) {
  std::string name = drive.vendor;
  if (!name.empty() && !drive.model.empty()) name += ' ';
  return name + drive.model;
}

class UDisksEjector final : public DriveEjector {
 public:
  explicit UDisksEjector(EjectTimeouts timeouts) : timeouts_(timeouts) {}

  bool canEject(const std::string& folder) override {
    std::optional<SystemBus> bus;
    return lookUp(folder, bus).outcome == EjectOutcome::Ejected;
  }

  EjectResult eject(const std::string& folder) override {
    std::optional<SystemBus> bus;
    EjectResult result = lookUp(folder, bus);
    if (result.outcome != EjectOutcome::Ejected) return result;
    try {
      for (const std::string& path : plan_.unmount) {
        try {
          bus->call(path, kFilesystem, "Unmount", timeouts_.action);
        } catch (const BusError& error) {
          if (error.name() != kNotMounted) throw;  // unmounted meanwhile: as good
        }
      }
      result.unmounted = true;
      for (const std::string& path : plan_.lock)
        bus->call(path, kEncrypted, "Lock", timeouts_.action);
      finish(*bus);
    } catch (const BusError& error) {
      result.outcome = outcomeOf(error);
      result.reason = error.what();
    }
    return result;
  }

 private:
  // Finds the drive and its plan (in plan_): Ejected when it can be
  // ejected, otherwise what stands in the way.
  EjectResult lookUp(const std::string& folder, std::optional<SystemBus>& bus) {
    EjectResult result;
    struct stat status {};
    char* resolved = ::realpath(folder.c_str(), nullptr);
    if (resolved == nullptr || ::stat(resolved, &status) != 0) {
      result.reason = folder + ": " + std::strerror(errno);
      std::free(resolved);
      return result;
    }
    const std::string path(resolved);
    std::free(resolved);
    Objects objects;
    try {
      bus.emplace();
      Message reply = bus->call(kRoot, kObjectManager, "GetManagedObjects", timeouts_.lookup,
                                /*withOptions=*/false);
      objects = readObjects(reply.get());
    } catch (const BusError& error) {
      result.outcome = EjectOutcome::Unavailable;
      result.reason = error.what();
      return result;
    }
    std::optional<Plan> plan = planEject(objects, path, status.st_dev, result.reason);
    if (!plan) {
      result.outcome = EjectOutcome::NotRemovable;
      return result;
    }
    plan_ = std::move(*plan);
    result.outcome = EjectOutcome::Ejected;
    result.drive = driveName(plan_.drive);
    return result;
  }

  // Powers the drive off, or ejects it where it cannot be powered off. A
  // card reader that can do neither is done once its card is unmounted.
  void finish(SystemBus& bus) {
    if (plan_.drive.canPowerOff) {
      try {
        bus.call(plan_.drivePath, kDrive, "PowerOff", timeouts_.action);
        return;
      } catch (const BusError& error) {
        if (error.name() != kNotSupported || !plan_.drive.ejectable) throw;
      }
    }
    if (plan_.drive.ejectable) bus.call(plan_.drivePath, kDrive, "Eject", timeouts_.action);
  }

  EjectTimeouts timeouts_;
  Plan plan_;
};

}  // namespace

std::unique_ptr<DriveEjector> hostDriveEjector(EjectTimeouts timeouts) {
  return std::make_unique<UDisksEjector>(timeouts);
}

}  // namespace kavo
