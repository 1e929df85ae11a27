#include "mordelt/registry_values.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

using namespace std::string_literals;

const char kKey[] = "SOFTWARE\\Example\\Tool";

// Each call as "Name(arguments)".
using Calls = std::vector<std::string>;

Calls CallsOf(const fakes::FakePlatform& fake) {
  Calls calls;
  for (const fakes::Call& call : fake.log.calls())
    calls.push_back(call.name + "(" + call.arguments + ")");
  return calls;
}

// The calls of the key preparation when the create step succeeds.
Calls PreparationCalls(const std::string& keyPath) {
  return {"RegCreateKeyExA(HKLM, \"" + keyPath + "\", options 0x0, access 0x0)",
          "RegCloseKey(key#1)",
          "RegOpenKeyExA(HKLM, \"" + keyPath + "\", options 0x0, access 0x2)"};
}

Calls Then(Calls calls, std::initializer_list<std::string> more) {
  calls.insert(calls.end(), more);
  return calls;
}

// Standard output that notes how many keys were open at each write.
class WatchingConsole final : public platform::Console {
 public:
  explicit WatchingConsole(const fakes::FakeRegistry& registry) : registry_(registry) {}
  void Write(const char* text) override {
    output += text;
    openKeysAtWrite.push_back(registry_.OpenHandles());
  }
  std::string output;
  std::vector<int> openKeysAtWrite;

 private:
  const fakes::FakeRegistry& registry_;
};

// ---- SetRegistryString ----

TEST(SetRegistryStringTest, CreatesEveryMissingKeyAndStoresTheStringWithItsZero) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::SetRegistryString(fake.platform, kKey, "InstallDir", "C:\\Program Files\\Ex"),
            0);
  EXPECT_EQ(CallsOf(fake),
            Then(PreparationCalls(kKey), {"RegSetValueExA(key#2, \"InstallDir\", type 1, "
                                          "data \"C:\\Program Files\\Ex\\x00\", size 20)",
                                          "RegCloseKey(key#2)"}));
  const auto value = fake.registry.Value(kKey, "InstallDir");
  ASSERT_TRUE(value.has_value());
  EXPECT_EQ(value->type, platform::kRegSz);
  EXPECT_EQ(value->bytes, "C:\\Program Files\\Ex\0"s);
  EXPECT_TRUE(fake.registry.KeyExists("SOFTWARE\\Example"));
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_EQ(fake.console.output, "");
}

TEST(SetRegistryStringTest, EmptyDataIsAOneByteString) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::SetRegistryString(fake.platform, kKey, "Empty", ""), 0);
  EXPECT_EQ(fake.log.ArgumentsOf("RegSetValueExA"),
            "key#2, \"Empty\", type 1, data \"\\x00\", size 1");
  EXPECT_EQ(fake.registry.Value(kKey, "Empty")->bytes, std::string(1, '\0'));
}

TEST(SetRegistryStringTest, EmptyValueNameSetsTheUnnamedValue) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::SetRegistryString(fake.platform, kKey, "", "default"), 0);
  EXPECT_EQ(fake.registry.StringValue(kKey, ""), "default");
  EXPECT_EQ(fake.registry.ValueCount(kKey), 1u);
}

TEST(SetRegistryStringTest, ReplacesANumberWithAString) {
  fakes::FakePlatform fake;
  fake.registry.PutValue(kKey, "Count", platform::kRegDword, "\x07\0\0\0"s);
  EXPECT_EQ(mordelt::SetRegistryString(fake.platform, kKey, "Count", "seven"), 0);
  EXPECT_EQ(fake.registry.Value(kKey, "Count")->type, platform::kRegSz);
  EXPECT_EQ(fake.registry.StringValue(kKey, "Count"), "seven");
}

TEST(SetRegistryStringTest, EmptyKeyPathNamesTheRootItself) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::SetRegistryString(fake.platform, "", "AtRoot", "x"), 0);
  EXPECT_EQ(fake.log.ArgumentsOf("RegOpenKeyExA"), "HKLM, \"\", options 0x0, access 0x2");
  EXPECT_EQ(fake.registry.StringValue("", "AtRoot"), "x");
}

TEST(SetRegistryStringTest, KeyPathWithARootNameIsPassedOnUnchanged) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::SetRegistryString(fake.platform, "HKEY_LOCAL_MACHINE\\SOFTWARE\\X", "N", "V"),
            0);
  EXPECT_EQ(fake.log.ArgumentsOf("RegCreateKeyExA"),
            "HKLM, \"HKEY_LOCAL_MACHINE\\SOFTWARE\\X\", options 0x0, access 0x0");
  EXPECT_EQ(fake.registry.StringValue("HKEY_LOCAL_MACHINE\\SOFTWARE\\X", "N"), "V");
  EXPECT_FALSE(fake.registry.KeyExists("SOFTWARE\\X"));
}

TEST(SetRegistryStringTest, DoubleByteKeyPathIsPassedOnByteForByte) {
  fakes::FakePlatform fake;
  fake.codePage.UseShiftJis();
  // 0x95 0x5C is one character whose trail byte is a backslash.
  const std::string key = "SOFTWARE\\\x95\x5c";
  EXPECT_EQ(mordelt::SetRegistryString(fake.platform, key.c_str(), "N", "\x95\x5c"), 0);
  EXPECT_EQ(fake.log.ArgumentsOf("RegOpenKeyExA"),
            "HKLM, \"" + key + "\", options 0x0, access 0x2");
  EXPECT_EQ(fake.registry.SubkeyNames("SOFTWARE"), std::vector<std::string>{"\x95\x5c"});
  EXPECT_EQ(fake.registry.StringValue(key, "N"), "\x95\x5c");
}

// ---- the failure table, for each operation ----

enum class Operation { Set, DeleteValue, DeleteSubkey };

int RunOperation(Operation operation, const platform::Platform& platform) {
  switch (operation) {
    case Operation::Set:
      return mordelt::SetRegistryString(platform, kKey, "Name", "data");
    case Operation::DeleteValue:
      return mordelt::DeleteRegistryValue(platform, kKey, "Name");
    case Operation::DeleteSubkey:
      return mordelt::DeleteRegistrySubkey(platform, kKey, "Leaf");
  }
  return -1;
}

int FailureOf(Operation operation) { return operation == Operation::Set ? 5 : 6; }

const char* OwnCall(Operation operation) {
  switch (operation) {
    case Operation::Set:
      return "RegSetValueExA";
    case Operation::DeleteValue:
      return "RegDeleteValueA";
    case Operation::DeleteSubkey:
      return "RegDeleteKeyA";
  }
  return "";
}

class FailureTableTest : public ::testing::TestWithParam<Operation> {
 protected:
  // The state in which every operation succeeds.
  void Populate() {
    fake.registry.PutString(kKey, "Name", "old");
    fake.registry.AddKey(std::string(kKey) + "\\Leaf");
  }
  fakes::FakePlatform fake;
};

TEST_P(FailureTableTest, SucceedsWithZeroAndClosesBothKeys) {
  Populate();
  EXPECT_EQ(RunOperation(GetParam(), fake.platform), 0);
  EXPECT_EQ(fake.log.Names(),
            (std::vector<std::string>{"RegCreateKeyExA", "RegCloseKey", "RegOpenKeyExA",
                                      OwnCall(GetParam()), "RegCloseKey"}));
  EXPECT_EQ(fake.log.ArgumentsOf("RegCloseKey", 1), "key#2");
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_EQ(fake.console.output, "");
}

TEST_P(FailureTableTest, CreateFailingWithAnotherErrorEndsAtOnce) {
  for (std::uint32_t error : {2u, 87u, 1013u, 0x80000001u}) {
    fakes::FakePlatform fresh;
    fresh.log.Fail("RegCreateKeyExA", error);
    EXPECT_EQ(RunOperation(GetParam(), fresh.platform), FailureOf(GetParam())) << error;
    EXPECT_EQ(fresh.log.Names(), std::vector<std::string>{"RegCreateKeyExA"}) << error;
    EXPECT_EQ(fresh.OpenHandles(), 0);
    EXPECT_EQ(fresh.console.output, "");
    EXPECT_FALSE(fresh.registry.KeyExists("SOFTWARE"));
  }
}

TEST_P(FailureTableTest, CreateRefusedOnAnExistingKeyThatAllowsSettingValuesPassesOn) {
  Populate();
  fake.registry.DenyCreate(kKey);
  EXPECT_EQ(RunOperation(GetParam(), fake.platform), 0);
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"RegCreateKeyExA", "RegOpenKeyExA",
                                                        OwnCall(GetParam()), "RegCloseKey"}));
  EXPECT_EQ(fake.log.ArgumentsOf("RegCloseKey"), "key#1");
  EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST_P(FailureTableTest, CreateRefusedAndKeyMissingFailsAtTheOpenStep) {
  fake.registry.DenyCreate(kKey);
  EXPECT_EQ(RunOperation(GetParam(), fake.platform), FailureOf(GetParam()));
  EXPECT_EQ(fake.log.Names(), (std::vector<std::string>{"RegCreateKeyExA", "RegOpenKeyExA"}));
  EXPECT_FALSE(fake.registry.KeyExists(kKey));
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_EQ(fake.console.output, "");
}

TEST_P(FailureTableTest, OpenRefusingTheRightToSetValuesFailsAndKeepsTheCreatedKey) {
  fake.registry.DenySetValue(kKey);
  EXPECT_EQ(RunOperation(GetParam(), fake.platform), FailureOf(GetParam()));
  EXPECT_EQ(fake.log.Names(),
            (std::vector<std::string>{"RegCreateKeyExA", "RegCloseKey", "RegOpenKeyExA"}));
  EXPECT_TRUE(fake.registry.KeyExists(kKey));  // nothing is rolled back
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_EQ(fake.console.output, "");
}

TEST_P(FailureTableTest, OwnCallFailingGivesTheFailureCodeAndClosesTheKey) {
  Populate();
  fake.log.Fail(OwnCall(GetParam()), 1018);
  EXPECT_EQ(RunOperation(GetParam(), fake.platform), FailureOf(GetParam()));
  EXPECT_EQ(fake.log.Names().back(), "RegCloseKey");
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_EQ(fake.console.output,
            GetParam() == Operation::DeleteValue ? "Error: the number of error is 1018" : "");
  EXPECT_EQ(fake.registry.StringValue(kKey, "Name"), "old");
  EXPECT_TRUE(fake.registry.KeyExists(std::string(kKey) + "\\Leaf"));
}

TEST_P(FailureTableTest, TheResultOfClosingIsNotLookedAt) {
  Populate();
  fake.log.Fail("RegCloseKey");
  EXPECT_EQ(RunOperation(GetParam(), fake.platform), 0);
  EXPECT_EQ(fake.OpenHandles(), 0);
}

// Every call failing in turn, with its usual error and with another: a defined result, no key
// left open, and a message only where a value deletion failed.
TEST_P(FailureTableTest, AnyFailingCallLeavesNoKeyOpen) {
  for (std::uint32_t error : {fakes::kDefaultFault, 2u}) {
    for (std::size_t position = 0; position < 5; ++position) {
      fakes::FakePlatform fresh;
      fresh.registry.PutString(kKey, "Name", "old");
      fresh.registry.AddKey(std::string(kKey) + "\\Leaf");
      fresh.log.FailAt(position, error);
      const int result = RunOperation(GetParam(), fresh.platform);
      EXPECT_TRUE(result == 0 || result == FailureOf(GetParam())) << position;
      EXPECT_EQ(fresh.OpenHandles(), 0) << position;
      if (GetParam() != Operation::DeleteValue) {
        EXPECT_EQ(fresh.console.output, "");
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(AllOperations, FailureTableTest,
                         ::testing::Values(Operation::Set, Operation::DeleteValue,
                                           Operation::DeleteSubkey));

// ---- DeleteRegistryValue ----

TEST(DeleteRegistryValueTest, RemovesTheValueOnly) {
  fakes::FakePlatform fake;
  fake.registry.PutString(kKey, "InstallDir", "C:\\x");
  fake.registry.PutString(kKey, "Other", "y");
  EXPECT_EQ(mordelt::DeleteRegistryValue(fake.platform, kKey, "installdir"), 0);
  EXPECT_EQ(CallsOf(fake), Then(PreparationCalls(kKey),
                                {"RegDeleteValueA(key#2, \"installdir\")", "RegCloseKey(key#2)"}));
  EXPECT_FALSE(fake.registry.Value(kKey, "InstallDir").has_value());
  EXPECT_EQ(fake.registry.StringValue(kKey, "Other"), "y");
  EXPECT_EQ(fake.console.output, "");
}

TEST(DeleteRegistryValueTest, EmptyValueNameRemovesTheUnnamedValue) {
  fakes::FakePlatform fake;
  fake.registry.PutString(kKey, "", "default");
  fake.registry.PutString(kKey, "Named", "n");
  EXPECT_EQ(mordelt::DeleteRegistryValue(fake.platform, kKey, ""), 0);
  EXPECT_FALSE(fake.registry.Value(kKey, "").has_value());
  EXPECT_EQ(fake.registry.ValueCount(kKey), 1u);
}

TEST(DeleteRegistryValueTest, MissingValuePrintsTwoWithoutLineEndBeforeClosingAndCreatesTheKey) {
  fakes::FakePlatform fake;
  WatchingConsole console(fake.registry);
  const platform::Platform watched{fake.memory,   console,    fake.codePage,  fake.windows,
                                   fake.registry, fake.files, fake.processes, fake.devices};
  EXPECT_EQ(mordelt::DeleteRegistryValue(watched, kKey, "Missing"), 6);
  EXPECT_EQ(console.output, "Error: the number of error is 2");
  EXPECT_EQ(console.openKeysAtWrite, std::vector<int>{1});  // printed while the key is open
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_TRUE(fake.registry.KeyExists(kKey));
}

TEST(DeleteRegistryValueTest, TheErrorCodeIsPrintedAsASignedNumber) {
  fakes::FakePlatform fake;
  fake.log.Fail("RegDeleteValueA", 0x80000005u);
  EXPECT_EQ(mordelt::DeleteRegistryValue(fake.platform, kKey, "N"), 6);
  EXPECT_EQ(fake.console.output, "Error: the number of error is -2147483643");
}

TEST(DeleteRegistryValueTest, NoMessageWhenThePreparationFails) {
  fakes::FakePlatform fake;
  fake.log.Fail("RegOpenKeyExA", 5);
  EXPECT_EQ(mordelt::DeleteRegistryValue(fake.platform, kKey, "N"), 6);
  EXPECT_EQ(fake.console.output, "");
}

// ---- DeleteRegistrySubkey ----

TEST(DeleteRegistrySubkeyTest, RemovesALeafKeyAndItsValues) {
  fakes::FakePlatform fake;
  fake.registry.PutString(std::string(kKey) + "\\Leaf", "v", "1");
  fake.registry.AddKey(std::string(kKey) + "\\Sibling");
  EXPECT_EQ(mordelt::DeleteRegistrySubkey(fake.platform, kKey, "Leaf"), 0);
  EXPECT_EQ(CallsOf(fake),
            Then(PreparationCalls(kKey), {"RegDeleteKeyA(key#2, \"Leaf\")", "RegCloseKey(key#2)"}));
  EXPECT_EQ(fake.registry.SubkeyNames(kKey), std::vector<std::string>{"Sibling"});
  EXPECT_EQ(fake.console.output, "");
}

TEST(DeleteRegistrySubkeyTest, KeyWithSubkeysIsRefusedSilentlyAndStays) {
  fakes::FakePlatform fake;
  fake.registry.AddKey(std::string(kKey) + "\\Branch\\Leaf");
  const std::string before = fake.registry.Dump();
  EXPECT_EQ(mordelt::DeleteRegistrySubkey(fake.platform, kKey, "Branch"), 6);
  EXPECT_EQ(fake.registry.Dump(), before);
  EXPECT_EQ(fake.console.output, "");
  EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST(DeleteRegistrySubkeyTest, MissingSubkeyGivesSixAndLeavesTheParentCreated) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::DeleteRegistrySubkey(fake.platform, kKey, "Nothing"), 6);
  EXPECT_TRUE(fake.registry.KeyExists(kKey));
  EXPECT_TRUE(fake.registry.SubkeyNames(kKey).empty());
  EXPECT_EQ(fake.console.output, "");
  EXPECT_EQ(fake.OpenHandles(), 0);
}

}  // namespace
