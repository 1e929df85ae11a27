#include "mordelt/dispatcher.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "tests/fakes/fake_platform.h"
#include "tests/unit/argument_table.h"
#include "tests/unit/mordelt_usage.h"

namespace {

using testing_support::kMordeltUsage;

using Table = testing_support::ArgumentTable;

// Runs a command line already cut into its entries.
common::CommandResult Dispatch(fakes::FakePlatform& fake, Table& table) {
  return mordelt::DispatchCommand(fake.platform, table.data(), table.count());
}
common::CommandResult Dispatch(fakes::FakePlatform& fake, Table&& table) {
  return Dispatch(fake, table);
}

TEST(DispatchCommandTest, EmptyTableEndsWithZeroAndWritesNothing) {
  fakes::FakePlatform fake;
  Table table{};
  const common::CommandResult result = Dispatch(fake, table);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(fake.console.output, "");
  EXPECT_TRUE(fake.log.calls().empty());
}

TEST(DispatchCommandTest, UnrecognisedVerbsWriteTheUsageTextAndEndTheProcessWithOne) {
  for (const char* verb : {"-int", "-ADD", "-", "-ad", "add", "-hwi", "-resca", "-delet", "-cpfil",
                           "-import", "-delregfromfi", "-delregkeyfro", "-re", "x-add"}) {
    fakes::FakePlatform fake;
    Table table{verb, "a", "b", "c"};
    const common::CommandResult result = Dispatch(fake, table);
    EXPECT_EQ(result.exitCode, 1) << verb;
    EXPECT_EQ(result.ending, common::Ending::ExitProcess) << verb;
    EXPECT_EQ(fake.console.output, kMordeltUsage) << verb;
    // One write per line, each line exactly as it stands.
    ASSERT_EQ(fake.console.writes.size(), 5u) << verb;
    EXPECT_EQ(fake.console.writes[4], " -delete <path in registry> <key's name> \n");
    EXPECT_TRUE(fake.log.calls().empty()) << verb;
  }
}

// --- Registry verbs ---

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

TEST(RegistryVerbsTest, FileVerbsAndTheirPrefixesRunTheirFileAndReturn) {
  // The key S\\A holds N = "old" before each row; "C:\\x.txt" holds `file` (missing: nullptr).
  const char kScript[] = "\"S\\A\" \"N\" \"V\"\n\"S\\A\" \"Gone\" \"V\"\n";
  struct Case {
    const char* verb;
    const char* file;
    int code;
    std::optional<std::string> valueAfter;
    const char* output;
  };
  const std::optional<std::string> gone;
  for (const Case& c :
       {Case{"-reg", kScript, 0, "V", ""}, Case{"-regfile", kScript, 0, "V", ""},
        Case{"-registry", kScript, 0, "V", ""},
        Case{"-delregfromfil", kScript, 6, gone, "Error: the number of error is 2"},
        Case{"-delregfromfile", kScript, 6, gone, "Error: the number of error is 2"},
        Case{"-delregkeyfrom", "S\\A\\N\n", 0, gone, ""},
        Case{"-delregkeyfromfile", "S\\A\\N\n", 0, gone, ""},
        Case{"-regfile", nullptr, 0, "old", ""}, Case{"-delregfromfile", nullptr, 0, "old", ""},
        Case{"-delregkeyfromfile", nullptr, 0, "old", ""}}) {
    fakes::FakePlatform fake;
    fake.registry.PutString("S\\A", "N", "old");
    if (c.file != nullptr) fake.files.AddFile("C:\\x.txt", c.file);
    const common::CommandResult result = Dispatch(fake, {c.verb, "C:\\x.txt"});
    EXPECT_EQ(result.exitCode, c.code) << c.verb;
    EXPECT_EQ(result.ending, common::Ending::Return) << c.verb;
    EXPECT_EQ(fake.registry.StringValue("S\\A", "N"), c.valueAfter) << c.verb;
    EXPECT_EQ(fake.console.output, c.output) << c.verb;
  }
  fakes::FakePlatform failing;
  failing.files.AddFile("C:\\x.txt", kScript);
  failing.log.Fail("RegOpenKeyExA");
  EXPECT_EQ(Dispatch(failing, {"-regfile", "C:\\x.txt"}).exitCode, 5);
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

// --- -importreg ---

TEST(ImportRegVerbTest, RunsRegExeWithTheTwoArgumentsAndReturnsZero) {
  for (const char* verb : {"-importreg", "-importr", "-importregistry"}) {
    fakes::FakePlatform fake;
    fake.processes.childExitCode = 1;  // reg.exe's own failure is not passed on
    const common::CommandResult result =
        Dispatch(fake, {verb, "import", "C:\\data\\settings.reg", "ignored"});
    EXPECT_EQ(result.exitCode, 0) << verb;
    EXPECT_EQ(result.ending, common::Ending::Return) << verb;
    ASSERT_EQ(fake.processes.creations.size(), 1u) << verb;
    EXPECT_EQ(fake.processes.creations[0].applicationName,
              std::optional<std::string>("C:\\windows\\system32\\reg.exe"));
    EXPECT_EQ(fake.processes.creations[0].commandLine, " import \"C:\\data\\settings.reg\"");
    EXPECT_EQ(fake.console.output, "");
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
  }
}

TEST(ImportRegVerbTest, RegExeIsTakenFromTheSystemDirectoryOnly) {
  // An unreadable system directory (empty here) ends the command as a start failure does.
  for (const std::string& directory : {std::string("D:\\WinNT\\System32"), std::string()}) {
    fakes::FakePlatform fake;
    fake.processes.systemDirectory = directory;
    if (directory.empty()) fake.log.Fail("GetSystemDirectoryA");
    const common::CommandResult result = Dispatch(fake, {"-importreg", "import", "a.reg"});
    EXPECT_EQ(result.exitCode, directory.empty() ? 1 : 0) << directory;
    EXPECT_EQ(result.ending, common::Ending::Return);
    EXPECT_EQ(fake.console.output, "");
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
    if (directory.empty()) {
      EXPECT_EQ(fake.processes.creations.size(), 0u);
    } else {
      ASSERT_EQ(fake.processes.creations.size(), 1u);
      EXPECT_EQ(fake.processes.creations[0].applicationName,
                std::optional<std::string>(directory + "\\reg.exe"));
      EXPECT_EQ(fake.processes.creations[0].commandLine, " import \"a.reg\"");
    }
  }
}

TEST(ImportRegVerbTest, RegExeThatCannotStartOrMemoryRunningOutGivesOne) {
  struct Case {
    const char* failingCall;
    std::uint32_t error;
    std::size_t startsTried;
  };
  for (const Case c : {Case{"CreateProcessA", 2, 1}, Case{"HeapAlloc", fakes::kDefaultFault, 0}}) {
    fakes::FakePlatform fake;
    fake.log.Fail(c.failingCall, c.error);
    const common::CommandResult result = Dispatch(fake, {"-importreg", "import", "a.reg"});
    EXPECT_EQ(result.exitCode, 1) << c.failingCall;
    EXPECT_EQ(result.ending, common::Ending::Return) << c.failingCall;
    EXPECT_EQ(fake.log.Count("CreateProcessA"), c.startsTried) << c.failingCall;
    EXPECT_EQ(fake.console.output, "") << c.failingCall;
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u) << c.failingCall;
  }
}

TEST(ImportRegVerbTest, ShorterPrefixesAndMissingArgumentsStartNothing) {
  for (auto entries :
       {std::vector<const char*>{"-import", "import", "a.reg"},
        std::vector<const char*>{"-importR", "import", "a.reg"},
        std::vector<const char*>{"-importreg", "import"}, std::vector<const char*>{"-importreg"}}) {
    fakes::FakePlatform fake;
    const common::CommandResult result = Dispatch(fake, Table(entries));
    EXPECT_EQ(result.exitCode, 1) << entries[0];
    EXPECT_EQ(fake.log.Count("CreateProcessA"), 0u) << entries[0];
    EXPECT_EQ(fake.console.writes.size(), 5u) << entries[0];
  }
}

// --- Device and file verbs ---

TEST(DeviceVerbsTest, HwidWithHashFindsAnyPresentDevice) {
  fakes::FakePlatform fake;
  fake.devices.Add({"ROOT\\X\\0", fakes::MakeGuid(1), true, fakes::MultiSz({"X"}), {}});
  const common::CommandResult result = Dispatch(fake, {"-hwid", "#"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(fake.log.ArgumentsOf("SetupDiGetClassDevsExA"), "null, 0x6");
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
}

TEST(DeviceVerbsTest, HwidOnAMachineWithoutPresentDevicesGivesFour) {
  fakes::FakePlatform fake;
  fake.devices.Add({"ROOT\\X\\0", fakes::MakeGuid(1), false, fakes::MultiSz({"X"}), {}});
  EXPECT_EQ(Dispatch(fake, {"-hwid", "#"}).exitCode, 4);
}

TEST(DeviceVerbsTest, HwidWithoutHashArgumentsMakesNoQuery) {
  fakes::FakePlatform fake;
  fake.devices.Add({"PCI\\X", fakes::MakeGuid(1), true, fakes::MultiSz({"PCI\\VEN_1234"}), {}});
  EXPECT_EQ(Dispatch(fake, {"-hwid"}).exitCode, 4);
  EXPECT_EQ(Dispatch(fake, {"-hwid", "PCI\\VEN_1234"}).exitCode, 4);
  EXPECT_EQ(Dispatch(fake, {"-hwidx", "*"}).exitCode, 4);
  EXPECT_TRUE(fake.log.calls().empty());
  EXPECT_EQ(fake.console.output, "");
}

TEST(DeviceVerbsTest, HwidTriesEachHashPatternUntilOneMatches) {
  fakes::FakePlatform fake;
  fake.devices.Add(
      {"PCI\\VEN_1234&DEV_5678\\3",
       fakes::MakeGuid(1),
       true,
       fakes::MultiSz({"PCI\\VEN_1234&DEV_5678&SUBSYS_00000000&REV_01",
                       "PCI\\VEN_1234&DEV_5678&SUBSYS_00000000", "PCI\\VEN_1234&DEV_5678"}),
       {}});
  Table table{"-hwid", "#PNP0501", "USB\\X", "#PCI\\VEN_1234&DEV_5678", "#NEVER"};
  const common::CommandResult result = Dispatch(fake, table);
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(fake.devices.SetsMade(), 2);
  EXPECT_EQ(table.at(1), "*PNP0501");
  EXPECT_EQ(table.at(3), "*PCI\\VEN_1234&DEV_5678");
  EXPECT_EQ(table.at(4), "#NEVER");  // never looked at
  EXPECT_EQ(fake.OpenHandles(), 0);
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
}

TEST(DeviceVerbsTest, HwidWhereNoPatternMatchesGivesFour) {
  fakes::FakePlatform fake;
  fake.devices.Add({"PCI\\X",
                    fakes::MakeGuid(1),
                    true,
                    fakes::MultiSz({"PCI\\VEN_1234&DEV_5678&SUBSYS_00000000"}),
                    {}});
  EXPECT_EQ(Dispatch(fake, {"-hwid", "#A", "#PCI\\VEN_1234&DEV_5678"}).exitCode, 4);
  EXPECT_EQ(fake.devices.SetsMade(), 2);
}

TEST(DeviceVerbsTest, HwidQueryFailureIsNotAMatch) {
  fakes::FakePlatform fake;
  fake.devices.Add({"PCI\\X", fakes::MakeGuid(1), true, fakes::MultiSz({"A"}), {}});
  fake.log.Fail("SetupDiGetClassDevsExA", fakes::kDefaultFault, 0);
  // The first query fails (2), the second finds the device.
  EXPECT_EQ(Dispatch(fake, {"-hwid", "#", "#A"}).exitCode, 0);
  fake.log.Clear();
  fake.log.Fail("SetupDiGetClassDevsExA");
  EXPECT_EQ(Dispatch(fake, {"-hwid", "#"}).exitCode, 4);
}

TEST(DeviceVerbsTest, RescanReturnsTheRescanResult) {
  fakes::FakePlatform fake;
  common::CommandResult result = Dispatch(fake, {"-rescan"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(Dispatch(fake, {"-rescan", "x"}).exitCode, 0);
  EXPECT_EQ(fake.devices.reenumerated.size(), 2u);
  fake.log.Fail("CM_Locate_DevNode_ExA");
  EXPECT_EQ(Dispatch(fake, {"-rescan"}).exitCode, 2);
  fake.log.Clear();
  fake.log.Fail("CM_Reenumerate_DevNode_Ex");
  result = Dispatch(fake, {"-rescan"});
  EXPECT_EQ(result.exitCode, 2);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(fake.console.output, "");
}

TEST(FileVerbsTest, CpfileCopiesOverTheDestinationOrGivesSevenOrOne) {
  // C:\a.sys holds "a" and C:\b.sys holds "b" before each row.
  struct Case {
    std::vector<const char*> entries;
    int code;
    const char* destinationAfter;
  };
  for (const Case& c : {Case{{"-cpfile", "C:\\a.sys", "C:\\b.sys"}, 0, "a"},
                        Case{{"-cpfile", "C:\\none", "C:\\b.sys"}, 7, "b"},
                        Case{{"-cpfile", "C:\\a.sys"}, 1, "b"}}) {
    fakes::FakePlatform fake;
    fake.files.AddFile("C:\\a.sys", "a", 0x20);
    fake.files.AddFile("C:\\b.sys", "b", 0x20);
    const common::CommandResult result = Dispatch(fake, Table(c.entries));
    EXPECT_EQ(result.exitCode, c.code) << c.entries[1];
    EXPECT_EQ(fake.files.Content("C:\\b.sys"), c.destinationAfter) << c.entries[1];
    if (c.code == 1) {
      EXPECT_EQ(fake.log.Count("CopyFileA"), 0u);  // a usage error copies nothing
    } else {
      EXPECT_EQ(result.ending, common::Ending::Return) << c.entries[1];
      EXPECT_EQ(fake.console.output, "") << c.entries[1];
    }
  }
}

TEST(FileVerbsTest, DelfileDeletesReadOnlyFilesAndAcceptsMissingOnes) {
  fakes::FakePlatform fake;
  fake.files.AddFile("C:\\ro.sys", "x", 0x21);
  common::CommandResult result = Dispatch(fake, {"-delfile", "C:\\ro.sys"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_FALSE(fake.files.Exists("C:\\ro.sys"));
  EXPECT_EQ(Dispatch(fake, {"-delfile", "C:\\ro.sys"}).exitCode, 0);
  fake.files.AddFile("C:\\busy.sys", "x", 0x20);
  fake.files.Lock("C:\\busy.sys");
  EXPECT_EQ(Dispatch(fake, {"-delfile", "C:\\busy.sys"}).exitCode, 7);
  EXPECT_EQ(Dispatch(fake, {"-delfile"}).exitCode, 1);
  EXPECT_EQ(fake.log.Count("CreateFileA"), 3u);
}

}  // namespace
