#include "tests/fakes/fake_devices.h"

#include <cstring>

namespace fakes {
namespace {

std::string GuidText(const platform::Guid* guid) {
  return guid == nullptr ? std::string("null") : "{" + Hex(guid->data1) + "}";
}

std::string SetText(platform::DeviceInfoSet set) {
  return Hex(reinterpret_cast<std::uintptr_t>(set));
}

std::string MachineText(platform::MachineHandle machine) {
  return Hex(reinterpret_cast<std::uintptr_t>(machine));
}

bool SameText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    auto fold = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; };
    if (fold(a[i]) != fold(b[i])) return false;
  }
  return true;
}

}  // namespace

platform::Guid MakeGuid(std::uint32_t number) {
  platform::Guid guid;
  guid.data1 = number;
  guid.data2 = 0x4D36;
  guid.data3 = 0xE97D;
  guid.data4[7] = static_cast<std::uint8_t>(number);
  return guid;
}

bool SameGuid(const platform::Guid& a, const platform::Guid& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
         std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}

FakeProperty MultiSz(const std::vector<std::string>& strings) {
  FakeProperty property;
  for (const std::string& text : strings) property.bytes += text + '\0';
  property.bytes += '\0';
  return property;
}

FakeProperty RawProperty(std::uint32_t type, std::string bytes) {
  FakeProperty property;
  property.type = type;
  property.bytes = std::move(bytes);
  return property;
}

platform::DevInst FakeDevices::Add(FakeDevice device) {
  tree.push_back(std::move(device));
  return kFirstDevInst + static_cast<platform::DevInst>(tree.size() - 1);
}

FakeDevices::Set* FakeDevices::FindSet(platform::DeviceInfoSet set) {
  auto found = sets_.find(reinterpret_cast<std::uintptr_t>(set));
  return found == sets_.end() ? nullptr : &found->second;
}

platform::DeviceInfoSet FakeDevices::NewSet(Set set) {
  const std::uintptr_t handle = nextSet_;
  nextSet_ += 0x10;
  sets_[handle] = std::move(set);
  ++setsMade_;
  return reinterpret_cast<platform::DeviceInfoSet>(handle);
}

bool FakeDevices::Fail(std::uint32_t error) {
  lastError_ = error;
  return false;
}

FakeDevice* FakeDevices::DeviceOf(platform::DevInst devInst) {
  if (devInst < kFirstDevInst || devInst - kFirstDevInst >= tree.size()) return nullptr;
  return &tree[devInst - kFirstDevInst];
}

bool FakeDevices::SetupDiClassGuidsFromNameExA(const char* className, platform::Guid* guidList,
                                               std::uint32_t guidListSize,
                                               std::uint32_t* requiredSize) {
  if (auto fault = log_.Record("SetupDiClassGuidsFromNameExA",
                               Quote(className) + ", " + std::to_string(guidListSize))) {
    return Fail(FaultOr(*fault, device_errors::kInvalidParameter));
  }
  std::uint32_t count = 0;
  for (const FakeSetupClass& setupClass : classes) {
    if (!SameText(setupClass.name, className)) continue;
    if (count < guidListSize) guidList[count] = setupClass.guid;
    ++count;
  }
  if (requiredSize != nullptr) *requiredSize = count;
  if (count > guidListSize) return Fail(platform::kErrorInsufficientBuffer);
  return true;
}

platform::DeviceInfoSet FakeDevices::SetupDiGetClassDevsExA(const platform::Guid* classGuid,
                                                            std::uint32_t flags) {
  if (auto fault = log_.Record("SetupDiGetClassDevsExA", GuidText(classGuid) + ", " + Hex(flags))) {
    Fail(FaultOr(*fault, platform::kErrorNotEnoughMemory));
    return platform::InvalidDeviceInfoSet();
  }
  const bool allClasses = (flags & platform::kDigcfAllClasses) != 0;
  if (classGuid == nullptr && !allClasses) {
    Fail(device_errors::kInvalidParameter);
    return platform::InvalidDeviceInfoSet();
  }
  Set set;
  if (!allClasses) set.classFilter = *classGuid;
  for (std::size_t i = 0; i < tree.size(); ++i) {
    if (!allClasses && !SameGuid(tree[i].classGuid, *classGuid)) continue;
    if ((flags & platform::kDigcfPresent) != 0 && !tree[i].present) continue;
    set.members.push_back(i);
  }
  return NewSet(std::move(set));
}

platform::DeviceInfoSet FakeDevices::SetupDiCreateDeviceInfoListExA(
    const platform::Guid* classGuid) {
  if (auto fault = log_.Record("SetupDiCreateDeviceInfoListExA", GuidText(classGuid))) {
    Fail(FaultOr(*fault, platform::kErrorNotEnoughMemory));
    return platform::InvalidDeviceInfoSet();
  }
  Set set;
  if (classGuid != nullptr) set.classFilter = *classGuid;
  return NewSet(std::move(set));
}

bool FakeDevices::SetupDiOpenDeviceInfoA(platform::DeviceInfoSet set, const char* instanceId,
                                         std::uint32_t openFlags) {
  if (auto fault = log_.Record("SetupDiOpenDeviceInfoA", SetText(set) + ", " + Quote(instanceId) +
                                                             ", " + std::to_string(openFlags))) {
    return Fail(FaultOr(*fault, device_errors::kNoSuchDevinst));
  }
  Set* found = FindSet(set);
  if (found == nullptr) return Fail(platform::kErrorInvalidHandle);
  for (std::size_t i = 0; i < tree.size(); ++i) {
    if (!SameText(tree[i].instanceId, instanceId)) continue;
    if (found->classFilter && !SameGuid(*found->classFilter, tree[i].classGuid)) {
      return Fail(device_errors::kClassMismatch);
    }
    for (std::size_t member : found->members) {
      if (member == i) return true;
    }
    found->members.push_back(i);
    return true;
  }
  return Fail(device_errors::kNoSuchDevinst);
}

bool FakeDevices::SetupDiGetDeviceInfoListDetailA(platform::DeviceInfoSet set,
                                                  platform::DeviceInfoListDetail* detail) {
  if (auto fault = log_.Record("SetupDiGetDeviceInfoListDetailA", SetText(set))) {
    return Fail(FaultOr(*fault, platform::kErrorInvalidHandle));
  }
  Set* found = FindSet(set);
  if (found == nullptr) return Fail(platform::kErrorInvalidHandle);
  detail->classGuid = found->classFilter ? *found->classFilter : platform::Guid();
  detail->remoteMachineHandle = machineHandle;
  return true;
}

bool FakeDevices::SetupDiEnumDeviceInfo(platform::DeviceInfoSet set, std::uint32_t index,
                                        platform::DeviceInfoData* device) {
  if (auto fault =
          log_.Record("SetupDiEnumDeviceInfo", SetText(set) + ", " + std::to_string(index))) {
    return Fail(FaultOr(*fault, platform::kErrorNoMoreItems));
  }
  Set* found = FindSet(set);
  if (found == nullptr) return Fail(platform::kErrorInvalidHandle);
  if (index >= found->members.size()) return Fail(platform::kErrorNoMoreItems);
  const std::size_t position = found->members[index];
  device->classGuid = tree[position].classGuid;
  device->devInst = kFirstDevInst + static_cast<platform::DevInst>(position);
  device->reserved = reinterpret_cast<std::uintptr_t>(set);
  return true;
}

bool FakeDevices::SetupDiGetDeviceRegistryPropertyA(platform::DeviceInfoSet set,
                                                    const platform::DeviceInfoData& device,
                                                    std::uint32_t property, std::uint32_t* dataType,
                                                    unsigned char* buffer, std::uint32_t bufferSize,
                                                    std::uint32_t* requiredSize) {
  if (auto fault = log_.Record("SetupDiGetDeviceRegistryPropertyA",
                               SetText(set) + ", " + Hex(device.devInst) + ", " +
                                   std::to_string(property) + ", " + std::to_string(bufferSize))) {
    return Fail(FaultOr(*fault, device_errors::kInvalidData));
  }
  Set* found = FindSet(set);
  if (found == nullptr) return Fail(platform::kErrorInvalidHandle);
  FakeDevice* owner = DeviceOf(device.devInst);
  if (owner == nullptr || device.reserved != reinterpret_cast<std::uintptr_t>(set)) {
    return Fail(device_errors::kInvalidParameter);
  }
  std::optional<FakeProperty>* value = nullptr;
  if (property == platform::kSpdrpHardwareId) {
    value = &owner->hardwareIds;
  } else if (property == platform::kSpdrpCompatibleIds) {
    value = &owner->compatibleIds;
  } else {
    return Fail(device_errors::kInvalidRegProperty);
  }
  if (!value->has_value()) return Fail(device_errors::kInvalidData);

  FakeProperty& stored = **value;
  const std::uint32_t size = static_cast<std::uint32_t>(stored.bytes.size());
  if (dataType != nullptr) *dataType = stored.type;
  if (requiredSize != nullptr) *requiredSize = stored.reportedSize.value_or(size);
  const bool fits = buffer != nullptr && bufferSize >= size;
  if (fits) std::memcpy(buffer, stored.bytes.data(), size);
  // A growing value gains bytes inside its last string, so it stays a well-formed list.
  if (stored.growthPerRead != 0) {
    const std::size_t at = stored.bytes.size() >= 2 ? stored.bytes.size() - 2 : 0;
    stored.bytes.insert(at, stored.growthPerRead, 'G');
  }
  if (!fits) return Fail(platform::kErrorInsufficientBuffer);
  return true;
}

bool FakeDevices::SetupDiDestroyDeviceInfoList(platform::DeviceInfoSet set) {
  auto fault = log_.Record("SetupDiDestroyDeviceInfoList", SetText(set));
  const bool known = sets_.erase(reinterpret_cast<std::uintptr_t>(set)) != 0;
  return !fault && known;  // as every release call, it leaves the last error alone
}

std::uint32_t FakeDevices::GetLastError() {
  // A planned fault here stands for another error left by the call before.
  if (auto fault = log_.Record("GetLastError", "")) return FaultOr(*fault, lastError_);
  return lastError_;
}

std::uint32_t FakeDevices::CM_Get_Device_ID_ExA(platform::DevInst devInst, char* buffer,
                                                std::uint32_t bufferLength, std::uint32_t flags,
                                                platform::MachineHandle machine) {
  if (auto fault = log_.Record("CM_Get_Device_ID_ExA",
                               Hex(devInst) + ", " + std::to_string(bufferLength) + ", " +
                                   std::to_string(flags) + ", " + MachineText(machine))) {
    return FaultOr(*fault, platform::kCrFailure);
  }
  if (machine != machineHandle) return kCrInvalidDevnode;
  const FakeDevice* device = DeviceOf(devInst);
  if (device == nullptr) return kCrInvalidDevnode;
  if (deviceIdWritesNothing) return platform::kCrSuccess;
  const std::string& id = device->instanceId;
  if (id.size() >= bufferLength) {
    // As much as fits, without a NUL.
    std::memcpy(buffer, id.data(), bufferLength);
    return kCrBufferSmall;
  }
  std::memcpy(buffer, id.c_str(), id.size() + 1);
  return platform::kCrSuccess;
}

std::uint32_t FakeDevices::CM_Locate_DevNode_ExA(platform::DevInst* devInst, const char* deviceId,
                                                 std::uint32_t flags,
                                                 platform::MachineHandle machine) {
  if (auto fault =
          log_.Record("CM_Locate_DevNode_ExA", Quote(deviceId) + ", " + std::to_string(flags) +
                                                   ", " + MachineText(machine))) {
    return FaultOr(*fault, platform::kCrFailure);
  }
  if (deviceId == nullptr || deviceId[0] == '\0') {
    *devInst = kRootDevInst;
    return platform::kCrSuccess;
  }
  for (std::size_t i = 0; i < tree.size(); ++i) {
    if (SameText(tree[i].instanceId, deviceId) && tree[i].present) {
      *devInst = kFirstDevInst + static_cast<platform::DevInst>(i);
      return platform::kCrSuccess;
    }
  }
  return kCrNoSuchDevnode;
}

std::uint32_t FakeDevices::CM_Reenumerate_DevNode_Ex(platform::DevInst devInst, std::uint32_t flags,
                                                     platform::MachineHandle machine) {
  if (auto fault =
          log_.Record("CM_Reenumerate_DevNode_Ex",
                      Hex(devInst) + ", " + std::to_string(flags) + ", " + MachineText(machine))) {
    return FaultOr(*fault, platform::kCrFailure);
  }
  if (devInst != kRootDevInst && DeviceOf(devInst) == nullptr) return kCrInvalidDevnode;
  reenumerated.push_back(devInst);
  return platform::kCrSuccess;
}

}  // namespace fakes
