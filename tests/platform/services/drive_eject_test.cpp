// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/services/drive_eject.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "support/fake_udisks.h"
#include "support/temp_directory.h"

namespace kavo {
namespace {

using testing::FakeBlock;
using testing::FakeDrive;
using testing::FakeUDisks;
using testing::FakeUDisksSetup;
using Calls = std::vector<std::string>;

constexpr const char* kBusy = "org.freedesktop.UDisks2.Error.DeviceBusy";
constexpr const char* kNotAuthorized = "org.freedesktop.UDisks2.Error.NotAuthorized";
constexpr const char* kCanObtain = "org.freedesktop.UDisks2.Error.NotAuthorizedCanObtain";
constexpr const char* kNotMounted = "org.freedesktop.UDisks2.Error.NotMounted";
constexpr const char* kNotSupported = "org.freedesktop.UDisks2.Error.NotSupported";
constexpr const char* kFailed = "org.freedesktop.UDisks2.Error.Failed";

// Short enough that a call nobody answers ends the test soon.
constexpr EjectTimeouts kTimeouts{std::chrono::seconds(5), std::chrono::seconds(2)};

// The code under test finds the system bus where DBUS_SYSTEM_BUS_ADDRESS says.
void useSystemBus(const std::string& address) {
  ASSERT_EQ(::setenv("DBUS_SYSTEM_BUS_ADDRESS", address.c_str(), 1), 0);
}

// A private bus for the stand-in, and a folder that plays a drive's volume:
// its device number is the block device's, it is the volume's mount point,
// and the destination is a folder in it.
class DriveEjectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char* resolved = ::realpath(volume_.path().c_str(), nullptr);
    ASSERT_NE(resolved, nullptr);
    mountPoint_ = resolved;
    std::free(resolved);
    destination_ = mountPoint_ + "/ROMs";
    testing::makeDirectories(destination_);
    struct stat status {};
    ASSERT_EQ(::stat(destination_.c_str(), &status), 0);
    device_ = status.st_dev;
  }

  // The destination's volume sdb1 on `drive`.
  FakeBlock volume(const std::string& drive) const {
    return {"sdb1", device_, drive, "", true, {mountPoint_}};
  }

  testing::PrivateBus bus_;
  testing::TempDirectory volume_;
  std::string mountPoint_, destination_;
  std::uint64_t device_ = 0;
};

FakeDrive stick() { return {"stick", true, true, true, true, "SanDisk", "Cruzer Blade"}; }

std::string joined(const Calls& calls) {
  std::string text;
  for (const std::string& call : calls) text += (text.empty() ? "" : ", ") + call;
  return text;
}

TEST_F(DriveEjectTest, EjectsOnlyRemovableDrivesAndSaysWhatBecameOfThem) {
  using enum EjectOutcome;
  const auto on = [&](const FakeDrive& drive, std::vector<FakeBlock> more = {}) {
    more.insert(more.begin(), volume(drive.name));
    return FakeUDisksSetup{more, {drive}, {}};
  };
  const FakeUDisksSetup plain = on(stick());
  const auto failing = [&](const char* call, const char* error, FakeUDisksSetup setup = {}) {
    if (setup.blocks.empty()) setup = plain;
    setup.failures[call] = error;
    return setup;
  };
  FakeDrive noPowerOff = stick();
  noPowerOff.canPowerOff = false;
  // A card in a built-in reader: it can neither be powered off nor ejected,
  // so unmounting it is all there is to do.
  const FakeDrive cardReader = {"reader", false, true, false, false, "Generic", "SD Reader"};
  const FakeBlock otherVolume = {"sdb2", device_ + 1, "stick", "", true, {"/media/player/SAVES"}};
  const FakeBlock systemVolume = {"sdb2", device_ + 1, "stick", "", true, {"/"}};
  FakeUDisksSetup mountedElsewhere = plain;
  mountedElsewhere.blocks[0].mountPoints = {"/media/player/OTHER"};
  const FakeUDisksSetup diskImage = {{volume("")}, {}, {}};  // a loop device has no drive
  // The destination on dm_0, unlocked from the encrypted sdb1.
  const FakeUDisksSetup encrypted = {{{"dm_0", device_, "", "sdb1", true, {mountPoint_}},
                                      {"sdb1", device_ + 2, "stick", "", false, {}, true}},
                                     {stick()},
                                     {}};

  struct Case {
    const char* name;
    FakeUDisksSetup setup;
    EjectOutcome outcome;
    bool unmounted;
    const char* calls;  // in order
    const char* says;   // in the message
  };
  const Case cases[] = {
      {"a USB stick", plain, Ejected, true, "Unmount sdb1, PowerOff stick",
       "SanDisk Cruzer Blade was ejected. You can now unplug it."},
      {"a built-in disk, even one that can be powered off",
       on({"disk", false, false, false, true, "ATA", "Samsung SSD"}), NotRemovable, false, "",
       "built-in drive"},
      {"a disk image", diskImage, NotRemovable, false, "", "disk image"},
      {"a folder the drive's volume is not mounted over", mountedElsewhere, NotRemovable, false, "",
       "not on a drive's volume"},
      {"a drive that holds the running system", on(stick(), {systemVolume}), NotRemovable, false,
       "", "running system"},
      {"a busy volume", failing("Unmount sdb1", kBusy), Busy, false, "Unmount sdb1",
       "(Unmount sdb1 failed here). Close the programs that use the drive"},
      {"an unmount the system does not allow", failing("Unmount sdb1", kCanObtain), NotAllowed,
       false, "Unmount sdb1", "stays mounted: this computer did not allow you to eject it"},
      {"a power-off the system does not allow, after the unmount",
       failing("PowerOff stick", kNotAuthorized), NotAllowed, true, "Unmount sdb1, PowerOff stick",
       "was unmounted and can be unplugged safely, but it could not be powered off"},
      {"any other failure of udisks2", failing("Unmount sdb1", kFailed), Failed, false,
       "Unmount sdb1", "may still be mounted (Unmount sdb1 failed here)"},
      {"an unmount that gets no answer", failing("Unmount sdb1", testing::kNoAnswer), Failed, false,
       "Unmount sdb1", "no answer within 2 s"},
      {"a volume unmounted meanwhile", failing("Unmount sdb1", kNotMounted), Ejected, true,
       "Unmount sdb1, PowerOff stick", "was ejected"},
      {"a drive that turns out not to power off", failing("PowerOff stick", kNotSupported), Ejected,
       true, "Unmount sdb1, PowerOff stick, Eject stick", "was ejected"},
      {"a drive that says it cannot power off", on(noPowerOff), Ejected, true,
       "Unmount sdb1, Eject stick", "was ejected"},
      {"a card in a built-in reader", on(cardReader), Ejected, true, "Unmount sdb1",
       "Generic SD Reader was ejected"},
      {"a second volume on the drive, unmounted first", on(stick(), {otherVolume}), Ejected, true,
       "Unmount sdb2, Unmount sdb1, PowerOff stick", "was ejected"},
      {"a busy second volume, which leaves the destination mounted",
       failing("Unmount sdb2", kBusy, on(stick(), {otherVolume})), Busy, false, "Unmount sdb2",
       "is in use and stays mounted"},
      {"an encrypted volume, locked before the power-off", encrypted, Ejected, true,
       "Unmount dm_0, Lock sdb1, PowerOff stick", "was ejected"},
  };
  useSystemBus(bus_.address());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeUDisks udisks(bus_.address(), c.setup);
    const auto ejector = hostDriveEjector(kTimeouts);
    EXPECT_EQ(ejector->canEject(destination_), c.outcome != NotRemovable);
    EXPECT_EQ(joined(udisks.calls()), "") << "looking changes nothing";

    const EjectResult result = ejector->eject(destination_);
    EXPECT_EQ(result.outcome, c.outcome);
    EXPECT_EQ(result.unmounted, c.unmounted);
    EXPECT_EQ(joined(udisks.calls()), c.calls);
    EXPECT_NE(result.message().find(c.says), std::string::npos) << result.message();
  }
}

// Without udisks2 nothing is offered, and nothing waits for long: no bus,
// a bus that never answers, and a bus on which udisks2 does not run.
TEST_F(DriveEjectTest, IsUnavailableWithoutUdisks2) {
  const std::string silentSocket = volume_ / "silent";
  const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  ASSERT_GE(listener, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  silentSocket.copy(address.sun_path, sizeof address.sun_path - 1);
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(::listen(listener, 4), 0);  // and never accepts

  struct Case {
    const char* name;
    std::string address;
    std::string says;
  };
  const Case cases[] = {
      {"no system bus", "unix:path=" + (volume_ / "none"), "no system bus"},
      {"a bus that never answers", "unix:path=" + silentSocket, "no answer within 1 s"},
      {"a bus without udisks2", bus_.address(), "org.freedesktop.UDisks2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    useSystemBus(c.address);
    const auto ejector = hostDriveEjector({std::chrono::milliseconds(500), kTimeouts.action});
    EXPECT_FALSE(ejector->canEject(destination_));
    const EjectResult result = ejector->eject(destination_);
    EXPECT_EQ(result.outcome, EjectOutcome::Unavailable);
    EXPECT_NE(result.reason.find(c.says), std::string::npos) << result.reason;
    EXPECT_NE(result.message().find("file manager"), std::string::npos);
  }
  ::close(listener);
}

}  // namespace
}  // namespace kavo
