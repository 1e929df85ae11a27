#include <windows.h>
// windows.h first: the device headers rely on its types.
#include <cfgmgr32.h>
#include <setupapi.h>

#include <cstring>

#include "platform/devices.h"
#include "platform/win32/last_error.h"
#include "platform/win32/platform.h"
#include "platform/win32/setupapi_loader.h"

namespace platform::win32 {
namespace {

static_assert(sizeof(DevInst) == sizeof(DEVINST), "DevInst must be a DEVINST");
#if !defined(_WIN64)
// The sizes the 32-bit programs hand to SetupAPI in cbSize.
static_assert(sizeof(SP_DEVINFO_DATA) == 28, "SP_DEVINFO_DATA of a 32-bit program");
static_assert(sizeof(SP_DEVINFO_LIST_DETAIL_DATA_A) == 287,
              "SP_DEVINFO_LIST_DETAIL_DATA_A of a 32-bit program");
#endif

HDEVINFO ToSystem(DeviceInfoSet set) { return reinterpret_cast<HDEVINFO>(set); }
DeviceInfoSet FromSystem(HDEVINFO set) { return reinterpret_cast<DeviceInfoSet>(set); }
HMACHINE ToSystem(MachineHandle machine) { return reinterpret_cast<HMACHINE>(machine); }

GUID ToSystem(const Guid& guid) {
  GUID system = {};
  system.Data1 = guid.data1;
  system.Data2 = guid.data2;
  system.Data3 = guid.data3;
  std::memcpy(system.Data4, guid.data4, sizeof system.Data4);
  return system;
}
Guid FromSystem(const GUID& system) {
  Guid guid;
  guid.data1 = system.Data1;
  guid.data2 = system.Data2;
  guid.data3 = system.Data3;
  std::memcpy(guid.data4, system.Data4, sizeof guid.data4);
  return guid;
}

// The most class GUIDs one lookup returns; the programs ask for one.
constexpr std::uint32_t kMaxClassGuids = 8;

SP_DEVINFO_DATA ToSystem(const DeviceInfoData& device) {
  SP_DEVINFO_DATA system = {};
  system.cbSize = sizeof(SP_DEVINFO_DATA);
  system.ClassGuid = ToSystem(device.classGuid);
  system.DevInst = device.devInst;
  system.Reserved = device.reserved;
  return system;
}

class SetupApiDevices final : public Devices {
 public:
  bool SetupDiClassGuidsFromNameExA(const char* className, Guid* guidList,
                                    std::uint32_t guidListSize,
                                    std::uint32_t* requiredSize) override {
    GUID list[kMaxClassGuids] = {};
    const DWORD listSize = guidListSize < kMaxClassGuids ? guidListSize : kMaxClassGuids;
    DWORD required = 0;
    if (!api_.Load()) return false;
    const BOOL done =
        api_.classGuidsFromNameEx(className, list, listSize, &required, nullptr, nullptr);
    const DWORD filled = required < listSize ? required : listSize;
    for (DWORD i = 0; i < filled; ++i) guidList[i] = FromSystem(list[i]);
    if (requiredSize != nullptr) *requiredSize = required;
    return done != FALSE;
  }

  DeviceInfoSet SetupDiGetClassDevsExA(const Guid* classGuid, std::uint32_t flags) override {
    GUID guid = {};
    if (classGuid != nullptr) guid = ToSystem(*classGuid);
    if (!api_.Load()) return InvalidDeviceInfoSet();
    return FromSystem(api_.getClassDevsEx(classGuid != nullptr ? &guid : nullptr, nullptr, nullptr,
                                          flags, nullptr, nullptr, nullptr));
  }

  DeviceInfoSet SetupDiCreateDeviceInfoListExA(const Guid* classGuid) override {
    GUID guid = {};
    if (classGuid != nullptr) guid = ToSystem(*classGuid);
    if (!api_.Load()) return InvalidDeviceInfoSet();
    return FromSystem(api_.createDeviceInfoListEx(classGuid != nullptr ? &guid : nullptr, nullptr,
                                                  nullptr, nullptr));
  }

  bool SetupDiOpenDeviceInfoA(DeviceInfoSet set, const char* instanceId,
                              std::uint32_t openFlags) override {
    if (!api_.Load()) return false;
    return api_.openDeviceInfo(ToSystem(set), instanceId, nullptr, openFlags, nullptr) != FALSE;
  }

  bool SetupDiGetDeviceInfoListDetailA(DeviceInfoSet set, DeviceInfoListDetail* detail) override {
    SP_DEVINFO_LIST_DETAIL_DATA_A system = {};
    system.cbSize = sizeof(SP_DEVINFO_LIST_DETAIL_DATA_A);
    if (!api_.Load() || api_.getDeviceInfoListDetail(ToSystem(set), &system) == FALSE) return false;
    detail->classGuid = FromSystem(system.ClassGuid);
    detail->remoteMachineHandle = reinterpret_cast<MachineHandle>(system.RemoteMachineHandle);
    return true;
  }

  bool SetupDiEnumDeviceInfo(DeviceInfoSet set, std::uint32_t index,
                             DeviceInfoData* device) override {
    SP_DEVINFO_DATA system = {};
    system.cbSize = sizeof(SP_DEVINFO_DATA);
    if (!api_.Load() || api_.enumDeviceInfo(ToSystem(set), index, &system) == FALSE) return false;
    device->classGuid = FromSystem(system.ClassGuid);
    device->devInst = system.DevInst;
    device->reserved = system.Reserved;
    return true;
  }

  bool SetupDiGetDeviceRegistryPropertyA(DeviceInfoSet set, const DeviceInfoData& device,
                                         std::uint32_t property, std::uint32_t* dataType,
                                         unsigned char* buffer, std::uint32_t bufferSize,
                                         std::uint32_t* requiredSize) override {
    SP_DEVINFO_DATA system = ToSystem(device);
    DWORD type = 0;
    DWORD required = 0;
    if (!api_.Load()) return false;
    const BOOL done = api_.getDeviceRegistryProperty(ToSystem(set), &system, property, &type,
                                                     buffer, bufferSize, &required);
    if (dataType != nullptr) *dataType = type;
    if (requiredSize != nullptr) *requiredSize = required;
    return done != FALSE;
  }

  bool SetupDiDestroyDeviceInfoList(DeviceInfoSet set) override {
    return KeepingLastError(
        [this, set] { return api_.Load() && api_.destroyDeviceInfoList(ToSystem(set)) != FALSE; });
  }

  SystemError GetLastError() override { return ::GetLastError(); }

  std::uint32_t CM_Get_Device_ID_ExA(DevInst devInst, char* buffer, std::uint32_t bufferLength,
                                     std::uint32_t flags, MachineHandle machine) override {
    if (!api_.Load()) return kCrFailure;
    return api_.getDeviceIdEx(devInst, buffer, bufferLength, flags, ToSystem(machine));
  }

  std::uint32_t CM_Locate_DevNode_ExA(DevInst* devInst, const char* deviceId, std::uint32_t flags,
                                      MachineHandle machine) override {
    DEVINST node = 0;
    const CONFIGRET result = api_.Load() ? api_.locateDevNodeEx(&node, const_cast<char*>(deviceId),
                                                                flags, ToSystem(machine))
                                         : kCrFailure;
    *devInst = node;
    return result;
  }

  std::uint32_t CM_Reenumerate_DevNode_Ex(DevInst devInst, std::uint32_t flags,
                                          MachineHandle machine) override {
    if (!api_.Load()) return kCrFailure;
    return api_.reenumerateDevNodeEx(devInst, flags, ToSystem(machine));
  }

 private:
  SetupApi api_;
};

}  // namespace

Devices& Win32Devices() {
  static SetupApiDevices devices;
  return devices;
}

}  // namespace platform::win32
