#include "mordelt/device_query.h"

#include <cstring>

#include "mordelt/exit_codes.h"
#include "mordelt/identifier_pattern.h"
#include "mordelt/multi_string.h"
#include "platform/devices.h"

namespace mordelt {
namespace {

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
    if (pattern.byInstanceId) {
      char instanceId[kInstanceIdSize];
      ReadInstanceId(platform.devices, device, machine, instanceId);
      if (MatchIdentifier(platform.codePage, instanceId, pattern)) return true;
    } else {
      const MultiStringIndex hardwareIds = ReadDeviceMultiStringProperty(
          platform.memory, platform.devices, set, device, platform::kSpdrpHardwareId);
      const MultiStringIndex compatibleIds = ReadDeviceMultiStringProperty(
          platform.memory, platform.devices, set, device, platform::kSpdrpCompatibleIds);
      if (MatchAnyIdentifier(platform.codePage, hardwareIds.get(), pattern) ||
          MatchAnyIdentifier(platform.codePage, compatibleIds.get(), pattern)) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

int QueryDevices(const platform::Platform& platform, std::uint32_t flags, int count,
                 char** arguments) {
  if (count <= 0) return kExitNoPattern;
  platform::Devices& devices = platform.devices;

  platform::HeapBlock table = platform::AllocateBlock(
      platform.memory,
      platform::CheckedSize(static_cast<std::size_t>(count), sizeof(IdentifierPattern)));
  if (!table) return kExitDeviceFailure;
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
      return kExitDeviceFailure;
    }
    if (classCount == 0) return kExitSuccess;
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
    if (patterns[i].firstWildcard != nullptr || !patterns[i].byInstanceId) search = true;
  }

  platform::UniqueDeviceInfoSet set(devices, platform::InvalidDeviceInfoSet());
  if (search || allDevices) {
    const std::uint32_t setFlags =
        classFilter != nullptr ? flags : flags | platform::kDigcfAllClasses;
    set.reset(devices.SetupDiGetClassDevsExA(classFilter, setFlags));
  } else {
    set.reset(devices.SetupDiCreateDeviceInfoListExA(classFilter));
  }
  if (!set) return kExitDeviceFailure;

  // Instances named by their identifiers join the set, however it was made; a device that
  // cannot be opened is left out.
  for (int i = first; i < count; ++i) {
    if (patterns[i].byInstanceId) {
      static_cast<void>(devices.SetupDiOpenDeviceInfoA(set.get(), patterns[i].text, 0));
    }
  }

  platform::DeviceInfoListDetail detail;
  if (!devices.SetupDiGetDeviceInfoListDetailA(set.get(), &detail)) return kExitDeviceFailure;
  if (allDevices) search = false;

  // The walk: the first device that matches (any device, when nothing is searched) ends it.
  platform::DeviceInfoData device;
  for (std::uint32_t index = 0; devices.SetupDiEnumDeviceInfo(set.get(), index, &device); ++index) {
    if (!search) return kExitSuccess;
    if (DeviceMatches(platform, set.get(), device, detail.remoteMachineHandle, patterns, first,
                      count)) {
      return kExitSuccess;
    }
  }
  return kExitNoMatch;
}

int QueryPresentDevices(const platform::Platform& platform, int count, char** arguments) {
  if (count == 0) return kExitNoPattern;
  return QueryDevices(platform, platform::kDigcfPresent, count, arguments);
}

int QueryEachHashPattern(const platform::Platform& platform, char** arguments, int count,
                         PatternQuery query) {
  for (int i = 0; i < count; ++i) {
    char* argument = arguments[i];
    if (argument[0] != '#') continue;
    argument[0] = '*';
    if (query(platform, 1, &arguments[i]) == kExitSuccess) return kExitSuccess;
  }
  return kExitNoMatch;
}

}  // namespace mordelt
