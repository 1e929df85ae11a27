#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mordelt/dispatcher.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/argument_table.h"

namespace {

using Table = testing_support::ArgumentTable;

TEST(ImportRegVerbTest, RunsRegExeWithTheTwoArgumentsAndReturnsZero) {
  for (const char* verb : {"-importreg", "-importr", "-importregistry"}) {
    fakes::FakePlatform fake;
    fake.processes.childExitCode = 1;  // reg.exe's own failure is not passed on
    Table table{verb, "import", "C:\\data\\settings.reg", "ignored"};
    const common::CommandResult result =
        mordelt::DispatchCommand(fake.platform, table.data(), table.count());
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
    Table table{"-importreg", "import", "a.reg"};
    const common::CommandResult result =
        mordelt::DispatchCommand(fake.platform, table.data(), table.count());
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

TEST(ImportRegVerbTest, RegExeThatCannotStartGivesOne) {
  fakes::FakePlatform fake;
  fake.log.Fail("CreateProcessA", 2);
  Table table{"-importreg", "import", "a.reg"};
  const common::CommandResult result =
      mordelt::DispatchCommand(fake.platform, table.data(), table.count());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(fake.console.output, "");
}

TEST(ImportRegVerbTest, MemoryRunningOutGivesOneWithNothingStarted) {
  fakes::FakePlatform fake;
  fake.log.Fail("HeapAlloc");
  Table table{"-importreg", "import", "a.reg"};
  const common::CommandResult result =
      mordelt::DispatchCommand(fake.platform, table.data(), table.count());
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_EQ(result.ending, common::Ending::Return);
  EXPECT_EQ(fake.log.Count("CreateProcessA"), 0u);
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
}

TEST(ImportRegVerbTest, ShorterPrefixesAndMissingArgumentsStartNothing) {
  for (auto entries :
       {std::vector<const char*>{"-import", "import", "a.reg"},
        std::vector<const char*>{"-importR", "import", "a.reg"},
        std::vector<const char*>{"-importreg", "import"}, std::vector<const char*>{"-importreg"}}) {
    fakes::FakePlatform fake;
    Table table(entries);
    const common::CommandResult result =
        mordelt::DispatchCommand(fake.platform, table.data(), table.count());
    EXPECT_EQ(result.exitCode, 1) << entries[0];
    EXPECT_EQ(fake.log.Count("CreateProcessA"), 0u) << entries[0];
    EXPECT_EQ(fake.console.writes.size(), 5u) << entries[0];
  }
}

}  // namespace
