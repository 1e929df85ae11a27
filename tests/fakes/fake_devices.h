#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/devices.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// Error codes of SetupAPI that the device fake answers with.
namespace device_errors {
constexpr std::uint32_t kInvalidData = 13;
constexpr std::uint32_t kInvalidParameter = 87;
constexpr std::uint32_t kClassMismatch = 0xE0000203u;
constexpr std::uint32_t kInvalidRegProperty = 0xE0000209u;
constexpr std::uint32_t kNoSuchDevinst = 0xE000020Bu;
}  // namespace device_errors

// Configuration Manager codes (CONFIGRET) that the device fake answers with.
constexpr std::uint32_t kCrInvalidDevnode = 0x05;
constexpr std::uint32_t kCrNoSuchDevnode = 0x0D;
constexpr std::uint32_t kCrBufferSmall = 0x1A;

// A GUID told apart by one number.
platform::Guid MakeGuid(std::uint32_t number);
bool SameGuid(const platform::Guid& a, const platform::Guid& b);

// A device registry property: its type and its bytes as stored.
struct FakeProperty {
  std::uint32_t type = 7;  // REG_MULTI_SZ
  std::string bytes;
  // Bytes the value gains after each read (a value that keeps growing between two reads).
  std::size_t growthPerRead = 0;
  // The size reported for the value when it is not its real size (a platform that misreports).
  std::optional<std::uint32_t> reportedSize;
};

// REG_MULTI_SZ of these strings: each with its NUL, then the closing NUL.
FakeProperty MultiSz(const std::vector<std::string>& strings);
// A value of any type with exactly these bytes.
FakeProperty RawProperty(std::uint32_t type, std::string bytes);

// One device of the tree.
struct FakeDevice {
  std::string instanceId;
  platform::Guid classGuid;
  bool present = true;
  std::optional<FakeProperty> hardwareIds;    // SPDRP_HARDWAREID; none: the property is missing
  std::optional<FakeProperty> compatibleIds;  // SPDRP_COMPATIBLEIDS
};

// A setup class: several classes may bear one name.
struct FakeSetupClass {
  std::string name;
  platform::Guid guid;
};

// SetupAPI and the Configuration Manager over an in-memory device tree. Sets list the devices in
// the order of `tree`; each device's node is kFirstDevInst + its position. Every call goes
// through the call log and can be failed with any error: a failed SetupDi call answers false
// (or an invalid set) and leaves the error for GetLastError, a failed CM_ call answers the
// error itself (CR_FAILURE by default). A destroy that is made to fail still releases the set.
class FakeDevices final : public platform::Devices {
 public:
  static constexpr platform::DevInst kRootDevInst = 1;
  static constexpr platform::DevInst kFirstDevInst = 0x100;

  explicit FakeDevices(CallLog& log) : log_(log) {}

  bool SetupDiClassGuidsFromNameExA(const char* className, platform::Guid* guidList,
                                    std::uint32_t guidListSize,
                                    std::uint32_t* requiredSize) override;
  platform::DeviceInfoSet SetupDiGetClassDevsExA(const platform::Guid* classGuid,
                                                 std::uint32_t flags) override;
  platform::DeviceInfoSet SetupDiCreateDeviceInfoListExA(const platform::Guid* classGuid) override;
  bool SetupDiOpenDeviceInfoA(platform::DeviceInfoSet set, const char* instanceId,
                              std::uint32_t openFlags) override;
  bool SetupDiGetDeviceInfoListDetailA(platform::DeviceInfoSet set,
                                       platform::DeviceInfoListDetail* detail) override;
  bool SetupDiEnumDeviceInfo(platform::DeviceInfoSet set, std::uint32_t index,
                             platform::DeviceInfoData* device) override;
  bool SetupDiGetDeviceRegistryPropertyA(platform::DeviceInfoSet set,
                                         const platform::DeviceInfoData& device,
                                         std::uint32_t property, std::uint32_t* dataType,
                                         unsigned char* buffer, std::uint32_t bufferSize,
                                         std::uint32_t* requiredSize) override;
  bool SetupDiDestroyDeviceInfoList(platform::DeviceInfoSet set) override;
  std::uint32_t GetLastError() override;
  std::uint32_t CM_Get_Device_ID_ExA(platform::DevInst devInst, char* buffer,
                                     std::uint32_t bufferLength, std::uint32_t flags,
                                     platform::MachineHandle machine) override;
  std::uint32_t CM_Locate_DevNode_ExA(platform::DevInst* devInst, const char* deviceId,
                                      std::uint32_t flags,
                                      platform::MachineHandle machine) override;
  std::uint32_t CM_Reenumerate_DevNode_Ex(platform::DevInst devInst, std::uint32_t flags,
                                          platform::MachineHandle machine) override;

  // Adds a device at the end of the tree; returns its node.
  platform::DevInst Add(FakeDevice device);
  // Device sets made and not yet destroyed.
  int OpenHandles() const { return static_cast<int>(sets_.size()); }
  // Device sets made in all.
  int SetsMade() const { return setsMade_; }
  CallLog& log() { return log_; }

  std::vector<FakeDevice> tree;
  std::vector<FakeSetupClass> classes;
  // The machine handle that the sets report in their list detail.
  platform::MachineHandle machineHandle = nullptr;
  // CM_Get_Device_ID_ExA answers CR_SUCCESS and writes nothing, as Wine's does.
  bool deviceIdWritesNothing = false;
  // Re-enumerations accepted, by node.
  std::vector<platform::DevInst> reenumerated;

 private:
  struct Set {
    std::optional<platform::Guid> classFilter;
    std::vector<std::size_t> members;  // positions in the tree
  };
  Set* FindSet(platform::DeviceInfoSet set);
  platform::DeviceInfoSet NewSet(Set set);
  bool Fail(std::uint32_t error);
  FakeDevice* DeviceOf(platform::DevInst devInst);

  CallLog& log_;
  std::map<std::uintptr_t, Set> sets_;
  std::uintptr_t nextSet_ = 0x5E7000;
  int setsMade_ = 0;
  std::uint32_t lastError_ = 0;
};

}  // namespace fakes
