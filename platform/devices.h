#pragma once

#include <cstdint>

#include "platform/system_error.h"
#include "platform/unique_handle.h"

namespace platform {

// A class or interface identifier (GUID), laid out as the system's.
struct Guid {
  std::uint32_t data1 = 0;
  std::uint16_t data2 = 0;
  std::uint16_t data3 = 0;
  std::uint8_t data4[8] = {};
};

// Opaque handles: a device information set (HDEVINFO) and a Configuration Manager machine
// connection (HMACHINE; null is the local machine).
struct DeviceInfoSetTag;
using DeviceInfoSet = DeviceInfoSetTag*;
struct MachineTag;
using MachineHandle = MachineTag*;

// A device node of the Configuration Manager (DEVINST).
using DevInst = std::uint32_t;

// The value of a device information set that holds nothing (INVALID_HANDLE_VALUE).
inline DeviceInfoSet InvalidDeviceInfoSet() {
  return reinterpret_cast<DeviceInfoSet>(kInvalidHandleValue);
}

// One device of a set (SP_DEVINFO_DATA without its size field, which the Windows layer sets).
// `reserved` is the set's own reference to the device and must be handed back unchanged.
struct DeviceInfoData {
  Guid classGuid;
  DevInst devInst = 0;
  std::uintptr_t reserved = 0;
};

// What a set says of itself (SP_DEVINFO_LIST_DETAIL_DATA_A as far as the programs use it).
struct DeviceInfoListDetail {
  Guid classGuid;
  MachineHandle remoteMachineHandle = nullptr;
};

constexpr std::uint32_t kDigcfPresent = 0x2;      // DIGCF_PRESENT
constexpr std::uint32_t kDigcfAllClasses = 0x4;   // DIGCF_ALLCLASSES
constexpr std::uint32_t kSpdrpHardwareId = 1;     // SPDRP_HARDWAREID
constexpr std::uint32_t kSpdrpCompatibleIds = 2;  // SPDRP_COMPATIBLEIDS
constexpr std::uint32_t kCrSuccess = 0;           // CR_SUCCESS
constexpr std::uint32_t kCrFailure = 19;          // CR_FAILURE

// SetupAPI and the Configuration Manager (setupapi, cfgmgr32, 8-bit forms). The SetupDi calls
// answer true on success and leave their error for GetLastError; the CM_ calls answer a
// CONFIGRET code. Parameters the programs always pass as null or 0 (enumerator, window, existing
// set, machine name, reserved) are not part of the calls here: the Windows layer passes them.
class Devices : public LastError {
 public:
  virtual ~Devices() = default;

  // SetupDiClassGuidsFromNameExA(className, guidList, guidListSize, requiredSize, no machine
  // name, nothing reserved): the setup classes of that name. Fails with
  // ERROR_INSUFFICIENT_BUFFER when more classes bear the name than the list holds.
  virtual bool SetupDiClassGuidsFromNameExA(const char* className, Guid* guidList,
                                            std::uint32_t guidListSize,
                                            std::uint32_t* requiredSize) = 0;
  // SetupDiGetClassDevsExA(classGuid or null, no enumerator, no window, flags, no existing set,
  // no machine name, nothing reserved). InvalidDeviceInfoSet() on failure.
  virtual DeviceInfoSet SetupDiGetClassDevsExA(const Guid* classGuid, std::uint32_t flags) = 0;
  // SetupDiCreateDeviceInfoListExA(classGuid or null, no window, no machine name, nothing
  // reserved): an empty set. InvalidDeviceInfoSet() on failure.
  virtual DeviceInfoSet SetupDiCreateDeviceInfoListExA(const Guid* classGuid) = 0;
  // SetupDiOpenDeviceInfoA(set, instanceId, no window, openFlags, no device record): adds the
  // device with that instance identifier to the set.
  virtual bool SetupDiOpenDeviceInfoA(DeviceInfoSet set, const char* instanceId,
                                      std::uint32_t openFlags) = 0;
  // SetupDiGetDeviceInfoListDetailA(set, detail).
  virtual bool SetupDiGetDeviceInfoListDetailA(DeviceInfoSet set, DeviceInfoListDetail* detail) = 0;
  // SetupDiEnumDeviceInfo(set, index, device): fails with ERROR_NO_MORE_ITEMS past the end.
  virtual bool SetupDiEnumDeviceInfo(DeviceInfoSet set, std::uint32_t index,
                                     DeviceInfoData* device) = 0;
  // SetupDiGetDeviceRegistryPropertyA(set, device, property, dataType, buffer, bufferSize,
  // requiredSize). dataType and requiredSize may be null.
  virtual bool SetupDiGetDeviceRegistryPropertyA(DeviceInfoSet set, const DeviceInfoData& device,
                                                 std::uint32_t property, std::uint32_t* dataType,
                                                 unsigned char* buffer, std::uint32_t bufferSize,
                                                 std::uint32_t* requiredSize) = 0;
  virtual bool SetupDiDestroyDeviceInfoList(DeviceInfoSet set) = 0;

  // CM_Get_Device_ID_ExA(devInst, buffer, bufferLength, flags, machine): the device's instance
  // identifier.
  virtual std::uint32_t CM_Get_Device_ID_ExA(DevInst devInst, char* buffer,
                                             std::uint32_t bufferLength, std::uint32_t flags,
                                             MachineHandle machine) = 0;
  // CM_Locate_DevNode_ExA(devInst, deviceId, flags, machine): null deviceId is the root of the
  // device tree.
  virtual std::uint32_t CM_Locate_DevNode_ExA(DevInst* devInst, const char* deviceId,
                                              std::uint32_t flags, MachineHandle machine) = 0;
  // CM_Reenumerate_DevNode_Ex(devInst, flags, machine).
  virtual std::uint32_t CM_Reenumerate_DevNode_Ex(DevInst devInst, std::uint32_t flags,
                                                  MachineHandle machine) = 0;
};

// A device information set, destroyed at the end of its scope.
using UniqueDeviceInfoSet =
    UniqueHandle<HandleTraits<Devices, DeviceInfoSet, &Devices::SetupDiDestroyDeviceInfoList,
                              kInvalidHandleValue>>;

}  // namespace platform
