// SPDX-FileCopyrightText: 2026 The SimpleKAVO developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Ejecting on Windows, as the notification area's "Safely Remove Hardware"
// does: the Plug and Play manager is asked to eject the drive's device,
// which flushes and dismounts its volumes first and refuses (names a veto)
// while a program holds a file on it.

#include <windows.h>
// (after windows.h)
#include <cfgmgr32.h>
#include <setupapi.h>
#include <winioctl.h>

#include <memory>
#include <optional>
#include <vector>

#include "platform/services/drive_eject.h"
#include "platform/services/win32_host.h"

namespace kavo {

namespace {

// GUID_DEVINTERFACE_DISK: every disk's device interface.
constexpr GUID kDiskInterface = {
    0x53f56307, 0xb6bf, 0x11d0, {0x94, 0xf2, 0x00, 0xa0, 0xc9, 0x1e, 0xfb, 0x8b}};

// What Windows tells of the drive a folder lies on.
struct DriveFacts {
  UINT type = DRIVE_UNKNOWN;  // GetDriveTypeW
  bool holdsWindows = false;
  STORAGE_BUS_TYPE bus = BusTypeUnknown;
  std::optional<DWORD> diskNumber;  // of the physical disk, when it is one
  std::string product;              // as the drive names itself
};

std::wstring volumeRoot(const std::string& folder) {
  const std::wstring wide = extendedPath(folder);
  std::wstring root(wide.size() + 2, L'\0');
  if (!::GetVolumePathNameW(wide.c_str(), root.data(), static_cast<DWORD>(root.size()))) return {};
  root.resize(std::wcslen(root.c_str()));
  if (root.starts_with(L"\\\\?\\")) root = root.substr(4);
  return root;
}

// The device of a volume: "\\.\E:" for a drive's letter, the volume's own
// name for a folder it is mounted on.
std::wstring volumeDevice(const std::wstring& root) {
  wchar_t name[MAX_PATH] = {};
  if (::GetVolumeNameForVolumeMountPointW(root.c_str(), name, MAX_PATH)) {
    std::wstring device = name;
    if (device.ends_with(L'\\')) device.pop_back();
    return device;
  }
  return L"\\\\.\\" + root.substr(0, 2);
}

// The bus, the disk's number and the product name, from the device.
void readDevice(HANDLE device, DriveFacts& facts) {
  STORAGE_PROPERTY_QUERY query{};
  query.PropertyId = StorageDeviceProperty;
  query.QueryType = PropertyStandardQuery;
  std::vector<char> buffer(1024);
  DWORD got = 0;
  if (::DeviceIoControl(device, IOCTL_STORAGE_QUERY_PROPERTY, &query, sizeof query, buffer.data(),
                        static_cast<DWORD>(buffer.size()), &got, nullptr) &&
      got >= sizeof(STORAGE_DEVICE_DESCRIPTOR)) {
    const auto* descriptor = reinterpret_cast<const STORAGE_DEVICE_DESCRIPTOR*>(buffer.data());
    facts.bus = descriptor->BusType;
    if (descriptor->ProductIdOffset > 0 && descriptor->ProductIdOffset < got)
      facts.product = std::string(
          buffer.data() + descriptor->ProductIdOffset,
          strnlen(buffer.data() + descriptor->ProductIdOffset, got - descriptor->ProductIdOffset));
    while (!facts.product.empty() && facts.product.back() == ' ') facts.product.pop_back();
  }
  STORAGE_DEVICE_NUMBER number{};
  if (::DeviceIoControl(device, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &number, sizeof number,
                        &got, nullptr) &&
      number.DeviceType == FILE_DEVICE_DISK)
    facts.diskNumber = number.DeviceNumber;
}

std::optional<DriveFacts> factsOf(const std::string& folder) {
  const std::wstring root = volumeRoot(folder);
  if (root.empty()) return std::nullopt;
  DriveFacts facts;
  facts.type = ::GetDriveTypeW(root.c_str());
  wchar_t windows[MAX_PATH + 1] = {};
  if (::GetSystemWindowsDirectoryW(windows, MAX_PATH + 1))
    facts.holdsWindows = ::_wcsnicmp(windows, root.c_str(), root.size()) == 0;
  const HANDLE device =
      ::CreateFileW(volumeDevice(root).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                    OPEN_EXISTING, 0, nullptr);
  if (device != INVALID_HANDLE_VALUE) {
    readDevice(device, facts);
    ::CloseHandle(device);
  }
  return facts;
}

// A stick or a card (a removable drive), or a disk on a bus that is
// plugged in and out (USB, a card slot, FireWire), that Windows does not
// run from.
bool removable(const DriveFacts& facts) {
  if (facts.holdsWindows || !facts.diskNumber) return false;
  if (facts.type == DRIVE_REMOVABLE) return true;
  return facts.type == DRIVE_FIXED && (facts.bus == BusTypeUsb || facts.bus == BusTypeSd ||
                                       facts.bus == BusTypeMmc || facts.bus == BusType1394);
}

// The disk's device node, found among the disks by its number.
std::optional<DEVINST> diskNode(DWORD number) {
  const HDEVINFO disks = ::SetupDiGetClassDevsW(&kDiskInterface, nullptr, nullptr,
                                                DIGCF_PRESENT | DIGCF_DEVICEINTERFACE);
  if (disks == INVALID_HANDLE_VALUE) return std::nullopt;
  std::optional<DEVINST> found;
  SP_DEVICE_INTERFACE_DATA entry{};
  entry.cbSize = sizeof entry;
  for (DWORD i = 0;
       !found && ::SetupDiEnumDeviceInterfaces(disks, nullptr, &kDiskInterface, i, &entry); ++i) {
    DWORD size = 0;
    ::SetupDiGetDeviceInterfaceDetailW(disks, &entry, nullptr, 0, &size, nullptr);
    std::vector<char> buffer(size + sizeof(wchar_t));
    auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
    detail->cbSize = sizeof *detail;
    SP_DEVINFO_DATA node{};
    node.cbSize = sizeof node;
    if (!::SetupDiGetDeviceInterfaceDetailW(disks, &entry, detail, size, nullptr, &node)) continue;
    const HANDLE disk = ::CreateFileW(detail->DevicePath, 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr);
    if (disk == INVALID_HANDLE_VALUE) continue;
    STORAGE_DEVICE_NUMBER its{};
    DWORD got = 0;
    if (::DeviceIoControl(disk, IOCTL_STORAGE_GET_DEVICE_NUMBER, nullptr, 0, &its, sizeof its, &got,
                          nullptr) &&
        its.DeviceNumber == number)
      found = node.DevInst;
    ::CloseHandle(disk);
  }
  ::SetupDiDestroyDeviceInfoList(disks);
  return found;
}

EjectOutcome outcomeOf(CONFIGRET result, PNP_VETO_TYPE veto) {
  if (result == CR_SUCCESS && veto == PNP_VetoTypeUnknown) return EjectOutcome::Ejected;
  switch (veto) {
    case PNP_VetoOutstandingOpen:
    case PNP_VetoPendingClose:
    case PNP_VetoDevice:
    case PNP_VetoDriver:
    case PNP_VetoWindowsApp:
    case PNP_VetoWindowsService:
      return EjectOutcome::Busy;
    case PNP_VetoInsufficientRights:
      return EjectOutcome::NotAllowed;
    case PNP_VetoIllegalDeviceRequest:
    case PNP_VetoNonDisableable:
    case PNP_VetoLegacyDevice:
      return EjectOutcome::NotRemovable;
    default:
      return result == CR_ACCESS_DENIED ? EjectOutcome::NotAllowed : EjectOutcome::Failed;
  }
}

std::string kindOf(const DriveFacts& facts) {
  if (facts.holdsWindows) return "it holds Windows";
  switch (facts.type) {
    case DRIVE_REMOTE:
      return "a network share";
    case DRIVE_CDROM:
      return "a CD or DVD drive";
    case DRIVE_RAMDISK:
      return "a RAM disk";
    default:
      return "a built-in disk";
  }
}

class Win32DriveEjector final : public DriveEjector {
 public:
  bool canEject(const std::string& folder) override {
    const std::optional<DriveFacts> facts = factsOf(folder);
    return facts && removable(*facts) && diskNode(*facts->diskNumber);
  }

  EjectResult eject(const std::string& folder) override {
    const std::optional<DriveFacts> facts = factsOf(folder);
    if (!facts) return {EjectOutcome::NotRemovable, false, {}, "its volume was not found"};
    if (!removable(*facts))
      return {EjectOutcome::NotRemovable, false, facts->product, kindOf(*facts)};
    const std::optional<DEVINST> disk = diskNode(*facts->diskNumber);
    if (!disk) return {EjectOutcome::Failed, false, facts->product, "its device was not found"};
    // A USB drive is ejected as the USB device that holds the disk, as
    // Windows' own "Eject" does.
    DEVINST target = *disk, parent = 0;
    if (facts->bus == BusTypeUsb && ::CM_Get_Parent(&parent, *disk, 0) == CR_SUCCESS)
      target = parent;
    PNP_VETO_TYPE veto = PNP_VetoTypeUnknown;
    wchar_t vetoName[MAX_PATH] = {};
    const CONFIGRET result = ::CM_Request_Device_EjectW(target, &veto, vetoName, MAX_PATH, 0);
    EjectResult outcome{outcomeOf(result, veto), false, facts->product, {}};
    outcome.unmounted = outcome.outcome == EjectOutcome::Ejected;
    if (!outcome.unmounted)
      outcome.reason = vetoName[0] ? utf8FromWide(vetoName)
                                   : "Plug and Play refused, veto " + std::to_string(veto) +
                                         ", result " + std::to_string(result);
    return outcome;
  }
};

}  // namespace

std::unique_ptr<DriveEjector> hostDriveEjector(EjectTimeouts) {
  return std::make_unique<Win32DriveEjector>();
}

}  // namespace kavo
