#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "mordelt/dispatcher.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/argument_table.h"
#include "tests/unit/mordelt_usage.h"

namespace {

using testing_support::kMordeltUsage;

using Table = testing_support::ArgumentTable;

// Runs a command line already cut into its entries.
common::CommandResult Dispatch(fakes::FakePlatform& fake, Table table) {
  return mordelt::DispatchCommand(fake.platform, table.data(), table.count());
}

void ExpectUsageWithoutRegistryCall(fakes::FakePlatform& fake, Table table) {
  const std::string verb = table.at(0);
  const common::CommandResult result = Dispatch(fake, std::move(table));
  EXPECT_EQ(result.exitCode, 1) << verb;
  EXPECT_EQ(result.ending, common::Ending::ExitProcess) << verb;
  EXPECT_EQ(fake.console.output, kMordeltUsage) << verb;
  EXPECT_TRUE(fake.log.calls().empty()) << verb;
}

TEST(RegistryVerbsTest, AddAndItsPrefixesSetTheValueAndEndTheProcess) {
  for (const char* verb : {"-add", "-addition", "-add-anything"}) {
    fakes::FakePlatform fake;
    const common::CommandResult result = Dispatch(fake, {verb, "SOFTWARE\\K", "N", "V", "extra"});
    EXPECT_EQ(result.exitCode, 0) << verb;
    EXPECT_EQ(result.ending, common::Ending::ExitProcess) << verb;
    EXPECT_EQ(fake.registry.StringValue("SOFTWARE\\K", "N"), "V") << verb;
    EXPECT_EQ(fake.console.output, "");
  }
}

TEST(RegistryVerbsTest, AddPassesOnFive) {
  fakes::FakePlatform fake;
  fake.log.Fail("RegSetValueExA");
  const common::CommandResult result = Dispatch(fake, {"-add", "K\\A", "N", "V"});
  EXPECT_EQ(result.exitCode, 5);
  EXPECT_EQ(result.ending, common::Ending::ExitProcess);
}

TEST(RegistryVerbsTest, DeleteRemovesTheSubkeyAndEndsTheProcess) {
  fakes::FakePlatform fake;
  fake.registry.AddKey("SOFTWARE\\K\\Leaf");
  common::CommandResult result = Dispatch(fake, {"-delete", "SOFTWARE\\K", "Leaf"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::ExitProcess);
  EXPECT_FALSE(fake.registry.KeyExists("SOFTWARE\\K\\Leaf"));
  result = Dispatch(fake, {"-deleted", "SOFTWARE\\K", "Leaf"});
  EXPECT_EQ(result.exitCode, 6);
  EXPECT_EQ(result.ending, common::Ending::ExitProcess);
  EXPECT_EQ(fake.console.output, "");
}

TEST(RegistryVerbsTest, RegfileAndItsPrefixesRunTheScriptInSetModeAndReturn) {
  for (const char* verb : {"-reg", "-regfile", "-registry"}) {
    fakes::FakePlatform fake;
    fake.files.AddFile("C:\\x.txt", "\"S\\A\" \"N\" \"V\"\n");
    const common::CommandResult result = Dispatch(fake, {verb, "C:\\x.txt"});
    EXPECT_EQ(result.exitCode, 0) << verb;
    EXPECT_EQ(result.ending, common::Ending::Return) << verb;
    EXPECT_EQ(fake.registry.StringValue("S\\A", "N"), "V") << verb;
  }
  fakes::FakePlatform failing;
  failing.files.AddFile("C:\\x.txt", "\"S\\A\" \"N\" \"V\"\n");
  failing.log.Fail("RegOpenKeyExA");
  EXPECT_EQ(Dispatch(failing, {"-regfile", "C:\\x.txt"}).exitCode, 5);
}

TEST(RegistryVerbsTest, DelregfromfileAndItsPrefixRunTheScriptInDeleteModeAndReturn) {
  for (const char* verb : {"-delregfromfil", "-delregfromfile"}) {
    fakes::FakePlatform fake;
    fake.registry.PutString("S\\A", "N", "old");
    fake.files.AddFile("C:\\x.txt", "\"S\\A\" \"N\" \"V\"\n\"S\\A\" \"Gone\" \"V\"\n");
    const common::CommandResult result = Dispatch(fake, {verb, "C:\\x.txt"});
    EXPECT_EQ(result.exitCode, 6) << verb;
    EXPECT_EQ(result.ending, common::Ending::Return) << verb;
    EXPECT_FALSE(fake.registry.Value("S\\A", "N").has_value()) << verb;
    EXPECT_EQ(fake.console.output, "Error: the number of error is 2") << verb;
  }
}

TEST(RegistryVerbsTest, DelregkeyfromfileAndItsPrefixRunThePathFileAndReturn) {
  for (const char* verb : {"-delregkeyfrom", "-delregkeyfromfile"}) {
    fakes::FakePlatform fake;
    fake.registry.PutString("S\\A", "N", "old");
    fake.files.AddFile("C:\\y.txt", "S\\A\\N\n");
    const common::CommandResult result = Dispatch(fake, {verb, "C:\\y.txt"});
    EXPECT_EQ(result.exitCode, 0) << verb;
    EXPECT_EQ(result.ending, common::Ending::Return) << verb;
    EXPECT_FALSE(fake.registry.Value("S\\A", "N").has_value()) << verb;
  }
}

TEST(RegistryVerbsTest, FileVerbsReturnZeroForAMissingFile) {
  for (const char* verb : {"-regfile", "-delregfromfile", "-delregkeyfromfile"}) {
    fakes::FakePlatform fake;
    const common::CommandResult result = Dispatch(fake, {verb, "C:\\none.txt"});
    EXPECT_EQ(result.exitCode, 0) << verb;
    EXPECT_EQ(result.ending, common::Ending::Return) << verb;
    EXPECT_EQ(fake.console.output, "") << verb;
  }
}

TEST(RegistryVerbsTest, TooFewArgumentsDrawTheUsageTextWithoutARegistryCall) {
  {
    fakes::FakePlatform fake;
    ExpectUsageWithoutRegistryCall(fake, {"-add", "K\\A", "N"});
  }
  {
    fakes::FakePlatform fake;
    ExpectUsageWithoutRegistryCall(fake, {"-addition"});
  }
  {
    fakes::FakePlatform fake;
    ExpectUsageWithoutRegistryCall(fake, {"-delete", "K\\A"});
  }
  for (const char* verb : {"-reg", "-registry", "-delregfromfil", "-delregkeyfrom"}) {
    fakes::FakePlatform fake;
    ExpectUsageWithoutRegistryCall(fake, {verb});
  }
}

}  // namespace
