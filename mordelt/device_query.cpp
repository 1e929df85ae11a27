#include "mordelt/device_query.h"

#include <cstring>

#include "mordelt/identifier_pattern.h"
#include "mordelt/multi_string.h"
#include "platform/devices.h"

namespace mordelt {
namespace {

constexpr int kMatched = 0;
constexpr int kFailed = 2;
constexpr int kNoArguments = 3;
constexpr int kNoMatch = 4;

// Bytes of the instance identifier area, the NUL included.
constexpr std::uint32_t kInstanceIdSize = 200;

// Reads the device's instance identifier into `buffer`; empty when the Configuration Manager
// does not answer CR_SUCCESS. The area is cleared first, since a call may succeed without
// writing it, and always ends with a NUL.
void ReadInstanceId(platform::Devices& devices, const platform::DeviceInfoData& device,
                    platform::MachineHandle machine, char (&buffer)[kInstanceIdSize]) {
  std::memset(buffer, 0, sizeof buffer);
  if (devices.CM_Get_Device_ID_ExA(device.devInst, buffer, kInstanceIdSize, 0, machine) !=
      platform::kCrSuccess) {
    buffer[0] = '\0';
  }
  buffer[kInstanceIdSize - 1] = '\0';
}

// Whether one device matches one of the patterns, tried in order: an instance pattern against
// the instance identifier, any other against the hardware identifiers and then the compatible
// identifiers.
bool DeviceMatches(const platform::Platform& platform, platform::DeviceInfoSet set,
                   const platform::DeviceInfoData& device, platform::MachineHandle machine,
                   const IdentifierPattern* patterns, int first, int count) {
  for (int i = first; i < count; ++i) {
    const IdentifierPattern& pattern = patterns[i];
    if (pattern.ByInstanceId == 1) {
      char instanceId[kInstanceIdSize];
      ReadInstanceId(platform.devices, device, machine, instanceId);
      if (MatchIdentifier(platform.codePage, instanceId, pattern) == 1) return true;
    } else {
      const MultiStringIndex hardwareIds = ReadDeviceMultiStringProperty(
          platform.memory, platform.devices, set, device, platform::kSpdrpHardwareId);
      const MultiStringIndex compatibleIds = ReadDeviceMultiStringProperty(
          platform.memory, platform.devices, set, device, platform::kSpdrpCompatibleIds);
      if (MatchAnyIdentifier(platform.codePage, hardwareIds.get(), pattern) == 1 ||
          MatchAnyIdentifier(platform.codePage, compatibleIds.get(), pattern) == 1) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

int QueryDevices(const platform::Platform& platform, std::uint32_t flags, int count,
                 char** arguments) {
  if (count <= 0) return kNoArguments;
  platform::Devices& devices = platform.devices;

  platform::HeapBlock table = platform::HeapBlock::Allocate(
      platform.memory,
      platform::CheckedArrayBytes(static_cast<std::size_t>(count), sizeof(IdentifierPattern)));
  if (!table) return kFailed;
  IdentifierPattern* const patterns = table.as<IdentifierPattern>();
  int first = 0;
  bool allDevices = false;
  bool search = false;

  // A setup class, named after "=" in the first argument.
  platform::Guid classGuid;
  std::uint32_t classCount = 0;
  if (arguments[0][0] == '=' && arguments[0][1] != '\0') {
    if (!devices.SetupDiClassGuidsFromNameExA(arguments[0] + 1, &classGuid, 1, &classCount) &&
        devices.GetLastError() != platform::kErrorInsufficientBuffer) {
      return kFailed;
    }
    if (classCount == 0) return kMatched;
    first = 1;
  }
  const platform::Guid* const classFilter = classCount != 0 ? &classGuid : nullptr;

  // Any device: "*" right after the class, or nothing after it.
  if (first < count) {
    if (std::strcmp(arguments[first], "*") == 0) {
      ++first;
      allDevices = true;
    }
  } else {
    allDevices = true;
  }

  // The patterns. Only instance patterns without wildcard need no walk of the devices: the set
  // then holds just the devices opened by their identifiers.
  for (int i = first; i < count; ++i) {
    patterns[i] = ParseIdentifierPattern(platform.codePage, arguments[i]);
    if (patterns[i].FirstWildcard != nullptr || patterns[i].ByInstanceId == 0) search = true;
  }

  platform::UniqueDeviceInfoSet set(devices, platform::InvalidDeviceInfoSet());
  if (search || allDevices) {
    const std::uint32_t setFlags =
        classFilter != nullptr ? flags : flags | platform::kDigcfAllClasses;
    set.reset(devices.SetupDiGetClassDevsExA(classFilter, setFlags));
  } else {
    set.reset(devices.SetupDiCreateDeviceInfoListExA(classFilter));
  }
  if (!set) return kFailed;

  // Instances named by their identifiers join the set, however it was made; a device that
  // cannot be opened is left out.
  for (int i = first; i < count; ++i) {
    if (patterns[i].ByInstanceId == 1) {
      static_cast<void>(devices.SetupDiOpenDeviceInfoA(set.get(), patterns[i].Text, 0));
    }
  }

  platform::DeviceInfoListDetail detail;
  if (!devices.SetupDiGetDeviceInfoListDetailA(set.get(), &detail)) return kFailed;
  if (allDevices) search = false;

  // The walk: the first device that matches (any device, when nothing is searched) ends it.
  platform::DeviceInfoData device;
  for (std::uint32_t index = 0; devices.SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
    if (!search) return kMatched;
    if (DeviceMatches(platform, set.get(), device, detail.remoteMachineHandle, patterns, first,
                      count)) {
      return kMatched;
    }
  }
  return kNoMatch;
}

int QueryPresentDevices(const platform::Platform& platform, int count, char** arguments) {
  if (count == 0) return kNoArguments;
  return QueryDevices(platform, platform::kDigcfPresent, count, arguments);
}

}  // namespace mordelt
