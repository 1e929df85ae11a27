#include "mordelt/device_query.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mordelt/identifier_pattern.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/argument_table.h"

namespace {

using fakes::FakeDevice;
using fakes::MakeGuid;
using fakes::MultiSz;

const platform::Guid kPorts = MakeGuid(1);
const platform::Guid kNet = MakeGuid(2);
const platform::Guid kOtherNet = MakeGuid(3);
const platform::Guid kEmpty = MakeGuid(4);

const char kSerialId[] = "ACPI\\PNP0501\\1";
const char kNicId[] = "PCI\\VEN_1234&DEV_5678\\3&11583659&0&10";
const char kLegacyId[] = "ROOT\\LEGACY_X\\0000";
const char kBareId[] = "USB\\VID_1\\5";

// A small machine: a serial port, a network card, an absent legacy device and a present device
// without identifier properties; classes Ports, Net (twice) and Empty.
void BuildTree(fakes::FakeDevices& devices) {
  devices.classes = {{"Ports", kPorts}, {"Net", kNet}, {"Net", kOtherNet}, {"Empty", kEmpty}};
  FakeDevice serial{kSerialId, kPorts, true, MultiSz({"ACPI\\PNP0501", "*PNP0501"}), std::nullopt};
  FakeDevice nic{kNicId, kNet, true,
                 MultiSz({"PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01",
                          "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000", "PCI\\VEN_1234&DEV_5678"}),
                 MultiSz({"PCI\\CC_0200", "PCI\\CC_02"})};
  FakeDevice legacy{kLegacyId, kNet, false, MultiSz({"LEGACY_X"}), std::nullopt};
  FakeDevice bare{kBareId, kOtherNet, true, std::nullopt, std::nullopt};
  devices.Add(serial);
  devices.Add(nic);
  devices.Add(legacy);
  devices.Add(bare);
}

// Writable copies of the arguments, checked unchanged after the query.
class Arguments {
 public:
  explicit Arguments(std::vector<std::string> texts) : texts_(std::move(texts)) {
    for (const std::string& text : texts_) storage_.emplace_back(text.begin(), text.end());
    for (auto& entry : storage_) {
      entry.push_back('\0');
      pointers_.push_back(entry.data());
    }
  }
  char** data() { return pointers_.data(); }
  int count() const { return static_cast<int>(pointers_.size()); }
  bool Unchanged() const {
    for (std::size_t i = 0; i < texts_.size(); ++i) {
      if (texts_[i] != pointers_[i]) return false;
    }
    return true;
  }

 private:
  std::vector<std::string> texts_;
  std::vector<std::vector<char>> storage_;
  std::vector<char*> pointers_;
};

class DeviceQuery : public ::testing::Test {
 protected:
  void SetUp() override { BuildTree(fake.devices); }

  // Runs the query and checks that it released everything and changed no argument.
  int Query(std::vector<std::string> texts, std::uint32_t flags = platform::kDigcfPresent) {
    Arguments arguments(std::move(texts));
    const int result =
        mordelt::QueryDevices(fake.platform, flags, arguments.count(), arguments.data());
    EXPECT_TRUE(arguments.Unchanged());
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
    EXPECT_EQ(fake.memory.BadFrees(), 0);
    return result;
  }
  std::size_t Calls(const char* name) const { return fake.log.Count(name); }
  std::string ArgumentsOf(const char* name, std::size_t occurrence = 0) const {
    return fake.log.ArgumentsOf(name, occurrence);
  }

  fakes::FakePlatform fake;
};

TEST_F(DeviceQuery, NoArgumentsGiveThreeWithoutAnyCall) {
  Arguments none({});
  EXPECT_EQ(mordelt::QueryPresentDevices(fake.platform, 0, none.data()), 3);
  EXPECT_EQ(mordelt::QueryDevices(fake.platform, platform::kDigcfPresent, 0, none.data()), 3);
  EXPECT_TRUE(fake.log.calls().empty());
}

TEST_F(DeviceQuery, PresentDevicesAreAskedForOfAllClasses) {
  Arguments any({"*"});
  EXPECT_EQ(mordelt::QueryPresentDevices(fake.platform, 1, any.data()), 0);
  EXPECT_EQ(ArgumentsOf("SetupDiGetClassDevsExA"), "null, 0x6");
  EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_F(DeviceQuery, LoneStarFindsAnyPresentDeviceWithoutReadingIdentifiers) {
  EXPECT_EQ(Query({"*"}), 0);
  EXPECT_EQ(Calls("SetupDiEnumDeviceInfo"), 1u);
  EXPECT_EQ(Calls("SetupDiGetDeviceRegistryPropertyA"), 0u);
  EXPECT_EQ(Calls("SetupDiDestroyDeviceInfoList"), 1u);
}

TEST_F(DeviceQuery, LoneStarOnAMachineWithoutPresentDevicesGivesFour) {
  for (FakeDevice& device : fake.devices.tree) device.present = false;
  EXPECT_EQ(Query({"*"}), 4);
  fake.devices.tree.clear();
  EXPECT_EQ(Query({"*"}, 0), 4);
}

TEST_F(DeviceQuery, ToolPatternMatchesAnIdentifierEndingWithItsText) {
  EXPECT_EQ(Query({"*PNP0501"}), 0);
  EXPECT_EQ(Query({"*pci\\ven_1234&dev_5678"}), 0);
  EXPECT_EQ(Query({"*PCI\\CC_02"}), 0);  // a compatible identifier
  EXPECT_EQ(Query({"*PNP05011"}), 4);
  EXPECT_EQ(Query({"*VEN_1234"}), 4);
}

TEST_F(DeviceQuery, OnlyTheIdentifierThatEndsWithTheTextMatches) {
  fake.devices.tree[1].hardwareIds = MultiSz(
      {"PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01", "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000"});
  EXPECT_EQ(Query({"*PCI\\VEN_1234&DEV_5678"}), 4);
  fake.devices.tree[0].hardwareIds = MultiSz({"ACPI\\PNP05011"});
  EXPECT_EQ(Query({"*PNP0501"}), 4);
}

TEST_F(DeviceQuery, AbsentDevicesAreNotSeenWithThePresentFlag) {
  EXPECT_EQ(Query({"LEGACY_X"}), 4);
  EXPECT_EQ(Query({"LEGACY_X"}, 0), 0);
  EXPECT_EQ(ArgumentsOf("SetupDiGetClassDevsExA", 1), "null, 0x4");
}

TEST_F(DeviceQuery, DevicesAreWalkedInOrderAndTheFirstMatchEndsTheWalk) {
  EXPECT_EQ(Query({"*PNP0501"}), 0);
  EXPECT_EQ(Calls("SetupDiEnumDeviceInfo"), 1u);
  fake.log.Clear();
  EXPECT_EQ(Query({"*CC_0200"}), 0);
  EXPECT_EQ(Calls("SetupDiEnumDeviceInfo"), 2u);
  // Each device: hardware identifiers, then compatible identifiers, both read before the test.
  EXPECT_EQ(
      fake.log.Names(),
      (std::vector<std::string>{
          "HeapAlloc", "SetupDiGetClassDevsExA", "SetupDiGetDeviceInfoListDetailA",
          "SetupDiEnumDeviceInfo", "HeapAlloc", "SetupDiGetDeviceRegistryPropertyA", "HeapAlloc",
          "HeapAlloc", "SetupDiGetDeviceRegistryPropertyA", "GetLastError", "SetupDiEnumDeviceInfo",
          "HeapAlloc", "SetupDiGetDeviceRegistryPropertyA", "HeapAlloc", "HeapAlloc",
          "SetupDiGetDeviceRegistryPropertyA", "HeapAlloc", "SetupDiDestroyDeviceInfoList"}));
  EXPECT_EQ(ArgumentsOf("SetupDiGetDeviceRegistryPropertyA", 2).substr(8), ", 0x101, 1, 8192");
  EXPECT_EQ(ArgumentsOf("SetupDiGetDeviceRegistryPropertyA", 3).substr(8), ", 0x101, 2, 8192");
}

TEST_F(DeviceQuery, PatternsAreTriedInArgumentOrderForEachDevice) {
  EXPECT_EQ(Query({"*CC_0200", "*PNP0501", "NONE"}), 0);
  // The serial port (first device) matches the second pattern: the walk stops there.
  EXPECT_EQ(Calls("SetupDiEnumDeviceInfo"), 1u);
  EXPECT_EQ(Calls("SetupDiGetDeviceRegistryPropertyA"), 4u);
  fake.log.Clear();
  EXPECT_EQ(Query({"NONE", "*NONE*", "'*"}), 4);
  EXPECT_EQ(Calls("SetupDiEnumDeviceInfo"), 4u);  // three present devices, then the end
}

TEST_F(DeviceQuery, DeviceWithoutIdentifierPropertiesNeverMatchesAPlainPattern) {
  fake.devices.tree.erase(fake.devices.tree.begin(), fake.devices.tree.begin() + 3);
  EXPECT_EQ(Query({"*USB*"}), 4);
  EXPECT_EQ(Query({"*"}), 0);
  EXPECT_EQ(Query({"@*USB*"}), 0);
}

TEST_F(DeviceQuery, EqualsSignAloneOrLaterIsAnOrdinaryPattern) {
  EXPECT_EQ(Query({"="}), 4);
  EXPECT_EQ(Calls("SetupDiClassGuidsFromNameExA"), 0u);
  EXPECT_EQ(Query({"*PNP0501", "=Ports"}), 0);
  EXPECT_EQ(Calls("SetupDiClassGuidsFromNameExA"), 0u);
  fake.devices.tree[0].hardwareIds = MultiSz({"="});
  EXPECT_EQ(Query({"="}), 0);
  fake.devices.tree[0].hardwareIds = MultiSz({"=Ports"});
  EXPECT_EQ(Query({"*X", "=Ports"}), 0);
}

TEST_F(DeviceQuery, ClassAloneAsksForAnyDeviceOfTheClass) {
  EXPECT_EQ(Query({"=Ports"}), 0);
  EXPECT_EQ(ArgumentsOf("SetupDiClassGuidsFromNameExA"), "\"Ports\", 1");
  EXPECT_EQ(ArgumentsOf("SetupDiGetClassDevsExA"), "{0x1}, 0x2");
  EXPECT_EQ(Calls("SetupDiGetDeviceRegistryPropertyA"), 0u);
  EXPECT_EQ(Query({"=Empty"}), 4);
}

TEST_F(DeviceQuery, ClassWithoutAnyDevicesInTheFlagsSenseGivesFour) {
  fake.devices.classes.push_back({"Legacy", MakeGuid(9)});
  fake.devices.tree[2].classGuid = MakeGuid(9);
  EXPECT_EQ(Query({"=Legacy"}), 4);
  EXPECT_EQ(Query({"=Legacy"}, 0), 0);
}

TEST_F(DeviceQuery, ClassNameThatNamesNoClassGivesZeroWithoutASet) {
  EXPECT_EQ(Query({"=Nothing", "*PNP0501"}), 0);
  EXPECT_EQ(fake.devices.SetsMade(), 0);
}

TEST_F(DeviceQuery, SeveralClassesOfOneNameUseTheFirst) {
  EXPECT_EQ(Query({"=Net", "*PCI\\CC_0200"}), 0);
  EXPECT_EQ(ArgumentsOf("SetupDiGetClassDevsExA"), "{0x2}, 0x2");
  EXPECT_EQ(Query({"=Net", "*PNP0501"}), 4);  // the serial port is of another class
}

TEST_F(DeviceQuery, ClassLookupFailingGivesTwo) {
  for (std::uint32_t error : {fakes::device_errors::kInvalidParameter,
                              platform::kErrorNotEnoughMemory, fakes::kDefaultFault}) {
    fake.log.Clear();
    fake.log.Fail("SetupDiClassGuidsFromNameExA", error);
    EXPECT_EQ(Query({"=Ports"}), 2);
    EXPECT_EQ(fake.devices.SetsMade(), 0);
  }
}

TEST_F(DeviceQuery, ClassLookupFailingForAShortListIsNoFailure) {
  // The error stands, but no class was counted: the name names no class.
  fake.log.Fail("SetupDiClassGuidsFromNameExA", platform::kErrorInsufficientBuffer);
  EXPECT_EQ(Query({"=Ports"}), 0);
  EXPECT_EQ(fake.devices.SetsMade(), 0);
}

TEST_F(DeviceQuery, StarAfterTheClassAndFurtherPatterns) {
  EXPECT_EQ(Query({"=Ports", "*", "NONE", "@ROOT\\LEGACY_X\\0000"}), 0);
  EXPECT_EQ(Calls("SetupDiOpenDeviceInfoA"), 1u);
  EXPECT_EQ(Calls("SetupDiGetDeviceRegistryPropertyA"), 0u);
  EXPECT_EQ(Query({"*", "NONE"}), 0);
  EXPECT_EQ(Query({"=Empty", "*", "NONE"}), 4);
}

TEST_F(DeviceQuery, StarAfterAPatternIsAPattern) {
  EXPECT_EQ(Query({"NONE", "*"}), 0);
  // The "*" pattern matched the first device's first hardware identifier.
  EXPECT_EQ(Calls("SetupDiGetDeviceRegistryPropertyA"), 4u);
}

TEST_F(DeviceQuery, InstancePatternsWithoutWildcardStartFromAnEmptySet) {
  EXPECT_EQ(Query({"@ROOT\\LEGACY_X\\0000"}), 0);  // absent, yet it opens: the flags play no part
  EXPECT_EQ(Calls("SetupDiGetClassDevsExA"), 0u);
  EXPECT_EQ(ArgumentsOf("SetupDiCreateDeviceInfoListExA"), "null");
  EXPECT_EQ(ArgumentsOf("SetupDiOpenDeviceInfoA").substr(8), ", \"ROOT\\LEGACY_X\\0000\", 0");
  EXPECT_EQ(Calls("CM_Get_Device_ID_ExA"), 0u);
  EXPECT_EQ(Query({"@NOPE\\1", "@root\\legacy_x\\0000"}), 0);
  EXPECT_EQ(Query({"@NOPE\\1", "@'NOPE\\2"}), 4);
}

TEST_F(DeviceQuery, InstancePatternsWithAClassOpenOnlyDevicesOfThatClass) {
  EXPECT_EQ(Query({"=Ports", "@ACPI\\PNP0501\\1"}), 0);
  EXPECT_EQ(ArgumentsOf("SetupDiCreateDeviceInfoListExA"), "{0x1}");
  EXPECT_EQ(Query({"=Ports", "@ROOT\\LEGACY_X\\0000"}), 4);
}

TEST_F(DeviceQuery, FailedOpensAreIgnored) {
  fake.log.Fail("SetupDiOpenDeviceInfoA");
  EXPECT_EQ(Query({"@ROOT\\LEGACY_X\\0000"}), 4);
  fake.log.Clear();
  fake.log.Fail("SetupDiOpenDeviceInfoA", fakes::kDefaultFault, 0);
  EXPECT_EQ(Query({"@NOPE", "@ROOT\\LEGACY_X\\0000"}), 0);
}

TEST_F(DeviceQuery, InstancePatternWithWildcardWalksTheDevices) {
  EXPECT_EQ(Query({"@ACPI\\*"}), 0);
  EXPECT_EQ(ArgumentsOf("SetupDiGetClassDevsExA"), "null, 0x6");
  EXPECT_EQ(ArgumentsOf("SetupDiOpenDeviceInfoA").substr(8), ", \"ACPI\\*\", 0");
  EXPECT_EQ(Query({"@ROOT\\*"}), 4);  // the only ROOT device is absent
  EXPECT_EQ(Query({"@ROOT\\*"}, 0), 0);
  EXPECT_EQ(Query({"@*\\VID_1\\*"}), 0);
  EXPECT_EQ(Calls("SetupDiGetDeviceRegistryPropertyA"), 0u);
}

TEST_F(DeviceQuery, InstanceIdentifierIsReadOnTheSetsMachine) {
  fake.devices.machineHandle = reinterpret_cast<platform::MachineHandle>(0x4D);
  EXPECT_EQ(Query({"@PCI\\*"}), 0);
  EXPECT_EQ(ArgumentsOf("CM_Get_Device_ID_ExA", 0), "0x100, 200, 0, 0x4d");
  EXPECT_EQ(ArgumentsOf("CM_Get_Device_ID_ExA", 1), "0x101, 200, 0, 0x4d");
}

TEST_F(DeviceQuery, UnreadableInstanceIdentifierIsEmpty) {
  fake.log.Fail("CM_Get_Device_ID_ExA");
  EXPECT_EQ(Query({"@*"}), 0);
  EXPECT_EQ(Query({"@ACPI*"}), 4);
  fake.log.Clear();
  fake.devices.deviceIdWritesNothing = true;  // success without a word written, as Wine answers
  EXPECT_EQ(Query({"@*"}), 0);
  EXPECT_EQ(Query({"@ACPI*"}), 4);
  EXPECT_EQ(Query({"@*", "@'"}), 0);
}

TEST_F(DeviceQuery, InstanceIdentifierThatDoesNotFitIsEmpty) {
  fake.devices.tree[0].instanceId = "ACPI\\" + std::string(195, 'X');  // 200 bytes with its NUL
  fake.devices.tree[1].instanceId = "ACPI\\" + std::string(194, 'X');  // 199 bytes fit
  EXPECT_EQ(Query({"@ACPI\\*"}), 0);
  EXPECT_EQ(Calls("CM_Get_Device_ID_ExA"), 2u);
}

TEST_F(DeviceQuery, InstanceAndPlainPatternsMixed) {
  EXPECT_EQ(Query({"@NOPE*", "*CC_0200"}), 0);
  EXPECT_EQ(Calls("CM_Get_Device_ID_ExA"), 2u);
  EXPECT_EQ(Calls("SetupDiOpenDeviceInfoA"), 1u);
}

TEST_F(DeviceQuery, LiteralPatterns) {
  fake.devices.tree[0].hardwareIds = MultiSz({"*PNP0501"});
  EXPECT_EQ(Query({"'*PNP0501"}), 0);
  fake.devices.tree[0].hardwareIds = MultiSz({"ACPI\\PNP0501"});
  EXPECT_EQ(Query({"'*PNP0501"}), 4);
}

TEST_F(DeviceQuery, FailuresToMakeOrDescribeTheSetGiveTwo) {
  for (const char* call : {"SetupDiGetClassDevsExA", "SetupDiGetDeviceInfoListDetailA"}) {
    fake.log.Clear();
    fake.log.Fail(call);
    EXPECT_EQ(Query({"*"}), 2) << call;
    EXPECT_EQ(Calls("SetupDiEnumDeviceInfo"), 0u) << call;
  }
  fake.log.Clear();
  fake.log.Fail("SetupDiCreateDeviceInfoListExA");
  EXPECT_EQ(Query({"@ROOT\\LEGACY_X\\0000"}), 2);
  EXPECT_EQ(Calls("SetupDiOpenDeviceInfoA"), 0u);
}

TEST_F(DeviceQuery, SetIsDestroyedWhenItsDetailsCannotBeRead) {
  fake.log.Fail("SetupDiGetDeviceInfoListDetailA");
  EXPECT_EQ(Query({"*PNP0501"}), 2);
  EXPECT_EQ(Calls("SetupDiDestroyDeviceInfoList"), 1u);
}

TEST_F(DeviceQuery, PatternTableWithoutMemoryGivesTwo) {
  fake.log.Fail("HeapAlloc", fakes::kDefaultFault, 0);
  EXPECT_EQ(Query({"*PNP0501"}), 2);
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"HeapAlloc"}));
  EXPECT_EQ(ArgumentsOf("HeapAlloc"), std::to_string(sizeof(mordelt::IdentifierPattern)));
}

TEST_F(DeviceQuery, EnumerationFailingEndsTheWalkWithFour) {
  fake.log.Fail("SetupDiEnumDeviceInfo", fakes::kDefaultFault, 0);
  EXPECT_EQ(Query({"*"}), 4);
  fake.log.Clear();
  fake.log.Fail("SetupDiEnumDeviceInfo", platform::kErrorInvalidHandle, 1);
  EXPECT_EQ(Query({"*CC_0200"}), 4);  // the card is the second device
}

TEST_F(DeviceQuery, IdentifierListWithoutMemoryCountsAsEmpty) {
  // Query table, then the serial port's hardware buffer: its list is lost.
  fake.log.Fail("HeapAlloc", fakes::kDefaultFault, 1);
  EXPECT_EQ(Query({"*PNP0501"}), 4);
  fake.log.Clear();
  fake.log.Fail("HeapAlloc", fakes::kDefaultFault, 1);
  EXPECT_EQ(Query({"*"}), 0);
}

// --- The "-hwid" loop ---

struct QueryRecorder {
  static std::vector<std::string> patterns;
  static int matchOn;  // the query number (1-based) that finds a device; 0: none
  static int Query(const platform::Platform&, int count, char** arguments) {
    EXPECT_EQ(count, 1);
    patterns.emplace_back(arguments[0]);
    return static_cast<int>(patterns.size()) == matchOn ? 0 : 4;
  }
};
std::vector<std::string> QueryRecorder::patterns;
int QueryRecorder::matchOn = 0;

int RunHashLoop(testing_support::ArgumentTable& table, int matchOn) {
  fakes::FakePlatform fake;
  QueryRecorder::patterns.clear();
  QueryRecorder::matchOn = matchOn;
  return mordelt::QueryEachHashPattern(fake.platform, table.data(), table.count(),
                                       QueryRecorder::Query);
}

TEST(QueryEachHashPatternTest, NoArgumentsOrNoneWithHashGiveFourWithoutAQuery) {
  testing_support::ArgumentTable none{};
  EXPECT_EQ(RunHashLoop(none, 1), 4);
  testing_support::ArgumentTable plain{"PCI\\VEN_1234", "USB*"};
  EXPECT_EQ(RunHashLoop(plain, 1), 4);
  EXPECT_TRUE(QueryRecorder::patterns.empty());
}

TEST(QueryEachHashPatternTest, ReplacesOnlyTheLeadingHashInPlace) {
  testing_support::ArgumentTable table{"#PCI\\VEN_#1", "#"};
  EXPECT_EQ(RunHashLoop(table, 0), 4);
  EXPECT_EQ(QueryRecorder::patterns, (std::vector<std::string>{"*PCI\\VEN_#1", "*"}));
  EXPECT_EQ(table.at(0), "*PCI\\VEN_#1");
}

TEST(QueryEachHashPatternTest, StopsAtTheFirstMatchAndSkipsArgumentsWithoutHash) {
  testing_support::ArgumentTable table{"#A", "B", "#C", "#D"};
  EXPECT_EQ(RunHashLoop(table, 2), 0);
  EXPECT_EQ(QueryRecorder::patterns, (std::vector<std::string>{"*A", "*C"}));
  EXPECT_EQ(table.at(3), "#D");  // never looked at
}

}  // namespace
