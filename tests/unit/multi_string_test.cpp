#include "mordelt/multi_string.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

using fakes::FakeDevice;
using fakes::FakeProperty;
using mordelt::MultiStringIndex;

// A heap copy of a multi-string, as a property read leaves it.
platform::HeapBlock HeapCopy(fakes::FakeMemory& memory, const std::string& bytes) {
  platform::HeapBlock block = platform::AllocateBlock(memory, bytes.size());
  std::memcpy(block.get(), bytes.data(), bytes.size());
  return block;
}

std::vector<std::string> Strings(const MultiStringIndex& index) {
  std::vector<std::string> strings;
  for (char** p = index.get(); *p != nullptr; ++p) strings.emplace_back(*p);
  return strings;
}

TEST(SplitMultiStringTest, IndexesEachStringInPlaceAndOwnsTheBuffer) {
  fakes::FakePlatform fake;
  platform::HeapBlock buffer =
      HeapCopy(fake.memory, std::string("ACPI\\PNP0501\0*PNP0501\0\0", 24));
  char* const strings = buffer.as<char>();
  {
    const MultiStringIndex index = mordelt::SplitMultiString(fake.memory, buffer);
    ASSERT_TRUE(index);
    EXPECT_FALSE(buffer);  // taken over by the index
    char** const list = index.get();
    EXPECT_EQ(index.strings.get(), strings);
    EXPECT_EQ(list[0], strings);
    EXPECT_EQ(list[1], strings + 13);
    EXPECT_EQ(list[2], nullptr);
    EXPECT_EQ(fake.memory.SizeOf(list), 3 * sizeof(char*));  // n + 1 slots
    EXPECT_EQ(fake.memory.LiveBlocks(), 2u);
  }
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
  EXPECT_EQ(fake.memory.BadFrees(), 0);
}

TEST(SplitMultiStringTest, EmptyMultiStringGivesOneSlot) {
  fakes::FakePlatform fake;
  platform::HeapBlock buffer = HeapCopy(fake.memory, std::string("\0\0", 2));
  const MultiStringIndex index = mordelt::SplitMultiString(fake.memory, buffer);
  ASSERT_TRUE(index);
  EXPECT_EQ(index.get()[0], nullptr);
  EXPECT_EQ(fake.memory.SizeOf(index.get()), 1 * sizeof(char*));
}

TEST(SplitMultiStringTest, AnEmptyStringEndsTheList) {
  fakes::FakePlatform fake;
  platform::HeapBlock buffer = HeapCopy(fake.memory, std::string("A\0\0B\0\0", 6));
  const MultiStringIndex index = mordelt::SplitMultiString(fake.memory, buffer);
  EXPECT_EQ(Strings(index), (std::vector<std::string>{"A"}));
}

TEST(SplitMultiStringTest, WithoutMemoryTheBufferStaysWithTheCaller) {
  fakes::FakePlatform fake;
  platform::HeapBlock buffer = HeapCopy(fake.memory, std::string("A\0B\0\0", 5));
  void* const strings = buffer.get();
  fake.log.Fail("HeapAlloc");
  {
    const MultiStringIndex index = mordelt::SplitMultiString(fake.memory, buffer);
    EXPECT_FALSE(index);
  }
  EXPECT_EQ(buffer.get(), strings);
  EXPECT_EQ(fake.memory.LiveBlocks(), 1u);
  buffer.reset();
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
  EXPECT_EQ(fake.memory.BadFrees(), 0);
}

TEST(MultiStringIndexTest, EmptyIndexReleasesNothing) {
  fakes::FakePlatform fake;
  { MultiStringIndex index; }
  EXPECT_EQ(fake.memory.BadFrees(), 0);
  EXPECT_TRUE(fake.log.calls().empty());
}

// One device in a set of its own, for reading its properties.
class PropertyRead : public ::testing::Test {
 protected:
  void Use(std::optional<FakeProperty> hardwareIds) {
    FakeDevice device;
    device.instanceId = "ACPI\\PNP0501\\1";
    device.hardwareIds = std::move(hardwareIds);
    fake.devices.Add(device);
    set = fake.devices.SetupDiGetClassDevsExA(nullptr, platform::kDigcfAllClasses);
    ASSERT_TRUE(fake.devices.SetupDiEnumDeviceInfo(set, 0, &record));
    fake.log.Clear();
  }
  MultiStringIndex Read() {
    return mordelt::ReadDeviceMultiStringProperty(fake.memory, fake.devices, set, record,
                                                  platform::kSpdrpHardwareId);
  }
  std::vector<std::string> Offered() const {
    std::vector<std::string> sizes;
    for (std::size_t i = 0; i < fake.log.Count("SetupDiGetDeviceRegistryPropertyA"); ++i) {
      const std::string arguments = fake.log.ArgumentsOf("SetupDiGetDeviceRegistryPropertyA", i);
      sizes.push_back(arguments.substr(arguments.rfind(", ") + 2));
    }
    return sizes;
  }
  void TearDown() override {
    fake.devices.SetupDiDestroyDeviceInfoList(set);
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
    EXPECT_EQ(fake.memory.BadFrees(), 0);
  }

  fakes::FakePlatform fake;
  platform::DeviceInfoSet set = platform::InvalidDeviceInfoSet();
  platform::DeviceInfoData record;
};

TEST_F(PropertyRead, CommonCaseIsOneReadInto8192Bytes) {
  Use(fakes::MultiSz({"ACPI\\PNP0501", "*PNP0501"}));
  const MultiStringIndex index = Read();
  ASSERT_TRUE(index);
  EXPECT_EQ(Strings(index), (std::vector<std::string>{"ACPI\\PNP0501", "*PNP0501"}));
  EXPECT_EQ(Offered(), (std::vector<std::string>{"8192"}));
  EXPECT_EQ(fake.memory.SizeOf(index.strings.get()), 8194u);
  EXPECT_EQ(fake.log.ArgumentsOf("SetupDiGetDeviceRegistryPropertyA"),
            fakes::Hex(reinterpret_cast<std::uintptr_t>(set)) + ", 0x100, 1, 8192");
}

TEST_F(PropertyRead, ValueWithoutClosingNulsIsClosedAtTheReportedSize) {
  Use(fakes::RawProperty(platform::kRegMultiSz, "ABC"));
  const MultiStringIndex index = Read();
  EXPECT_EQ(Strings(index), (std::vector<std::string>{"ABC"}));
}

TEST_F(PropertyRead, SingleStringComesBackAsAListOfOne) {
  Use(fakes::RawProperty(platform::kRegSz, std::string("PCI\\VEN_1234\0", 13)));
  const MultiStringIndex index = Read();
  EXPECT_EQ(Strings(index), (std::vector<std::string>{"PCI\\VEN_1234"}));
}

TEST_F(PropertyRead, Exactly8192BytesIsReadInOneCall) {
  Use(fakes::RawProperty(platform::kRegMultiSz, std::string(8192, 'x')));
  const MultiStringIndex index = Read();
  ASSERT_TRUE(index);
  EXPECT_EQ(Strings(index), (std::vector<std::string>{std::string(8192, 'x')}));
  EXPECT_EQ(Offered(), (std::vector<std::string>{"8192"}));
}

TEST_F(PropertyRead, LargerMultiStringIsReadAgainAtItsSize) {
  const std::vector<std::string> ids(500, std::string(20, 'I'));  // 10501 bytes
  Use(fakes::MultiSz(ids));
  const MultiStringIndex index = Read();
  ASSERT_TRUE(index);
  EXPECT_EQ(Strings(index), ids);
  EXPECT_EQ(Offered(), (std::vector<std::string>{"8192", "10501"}));
  EXPECT_EQ(fake.memory.SizeOf(index.strings.get()), 10503u);
}

TEST_F(PropertyRead, LargerValueOfAnotherTypeGivesNone) {
  Use(fakes::RawProperty(platform::kRegSz, std::string(9000, 'x') + '\0'));
  EXPECT_FALSE(Read());
  EXPECT_EQ(Offered(), (std::vector<std::string>{"8192"}));
}

TEST_F(PropertyRead, LargerBinaryValueGivesNone) {
  Use(fakes::RawProperty(3 /* REG_BINARY */, std::string(9000, 'x')));
  EXPECT_FALSE(Read());
  EXPECT_EQ(Offered(), (std::vector<std::string>{"8192"}));
}

TEST_F(PropertyRead, MissingPropertyGivesNone) {
  Use(std::nullopt);
  EXPECT_FALSE(Read());
  EXPECT_EQ(Offered().size(), 1u);
}

TEST_F(PropertyRead, FailedReadGivesNoneWhateverTheError) {
  Use(fakes::MultiSz({"A"}));
  for (std::uint32_t error : {fakes::device_errors::kInvalidData, platform::kErrorInvalidHandle,
                              platform::kErrorInsufficientBuffer}) {
    fake.log.Clear();
    fake.log.Fail("SetupDiGetDeviceRegistryPropertyA", error);
    EXPECT_FALSE(Read()) << error;
    // An insufficient buffer without a REG_MULTI_SZ type reported is not retried.
    EXPECT_EQ(Offered().size(), 1u) << error;
  }
}

TEST_F(PropertyRead, ARetryThatFailsGivesNone) {
  Use(fakes::MultiSz(std::vector<std::string>(500, std::string(20, 'I'))));
  fake.log.Fail("SetupDiGetDeviceRegistryPropertyA", fakes::device_errors::kInvalidData, 1);
  EXPECT_FALSE(Read());
  EXPECT_EQ(Offered().size(), 2u);
}

TEST_F(PropertyRead, WithoutMemoryGivesNone) {
  Use(fakes::MultiSz(std::vector<std::string>(500, std::string(20, 'I'))));
  // The first buffer, the larger buffer, and the index.
  for (int allocation = 0; allocation < 3; ++allocation) {
    fake.log.Clear();
    fake.log.Fail("HeapAlloc", fakes::kDefaultFault, allocation);
    EXPECT_FALSE(Read()) << allocation;
    EXPECT_EQ(Offered().size(), static_cast<std::size_t>(allocation)) << allocation;
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u) << allocation;
  }
}

TEST_F(PropertyRead, ValueThatKeepsGrowingIsGivenUpAfterTheLastRead) {
  FakeProperty growing = fakes::MultiSz({std::string(9000, 'G')});
  growing.growthPerRead = 16;
  Use(growing);
  EXPECT_FALSE(Read());
  EXPECT_EQ(Offered(), (std::vector<std::string>{"8192", "9002", "9018", "9034"}));
  EXPECT_EQ(static_cast<int>(Offered().size()), mordelt::kMaxPropertyReads);
}

TEST_F(PropertyRead, ValueThatGrewBeforeTheReadIsReadOnTheSecondCall) {
  FakeProperty growing = fakes::MultiSz({std::string(9000, 'G')});
  growing.growthPerRead = 16;
  Use(growing);
  // Another reader's probe makes the value grow once (to 9018 bytes); then it stays.
  std::uint32_t type = 0;
  std::uint32_t required = 0;
  unsigned char probe[1];
  ASSERT_FALSE(
      fake.devices.SetupDiGetDeviceRegistryPropertyA(set, record, 1, &type, probe, 1, &required));
  fake.devices.tree[0].hardwareIds->growthPerRead = 0;
  fake.log.Clear();

  const MultiStringIndex index = Read();
  ASSERT_TRUE(index);
  EXPECT_EQ(std::strlen(index.get()[0]), 9016u);
  EXPECT_EQ(Offered(), (std::vector<std::string>{"8192", "9018"}));
}

TEST_F(PropertyRead, ReportedSizeBeyondTheBufferIsNotWrittenPast) {
  FakeProperty misreported = fakes::RawProperty(platform::kRegMultiSz, std::string("A\0B", 3));
  misreported.reportedSize = 100000;
  Use(misreported);
  const MultiStringIndex index = Read();
  ASSERT_TRUE(index);
  EXPECT_STREQ(index.get()[0], "A");
  // "B" and the rest of the area (never written) are closed by the two NULs kept back after
  // the 8192 bytes offered.
  ASSERT_NE(index.get()[1], nullptr);
  EXPECT_EQ(index.get()[1][0], 'B');
  EXPECT_EQ(std::strlen(index.get()[1]), 8192u - 2u);
  EXPECT_EQ(index.get()[2], nullptr);
}

}  // namespace
