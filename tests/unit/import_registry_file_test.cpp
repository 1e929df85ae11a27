#include "mordelt/import_registry_file.h"

#include <gtest/gtest.h>

#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"

namespace {

const char kRegTool[] = "C:\\WINDOWS\\system32\\reg.exe";

TEST(RunToolTest, BuildsABlankArgumentBlankQuotedArgumentCommandLine) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::RunTool(fake.platform, kRegTool, "import", "C:\\data\\settings.reg"), 0);
  ASSERT_EQ(fake.processes.creations.size(), 1u);
  EXPECT_EQ(fake.processes.creations[0].applicationName, std::optional<std::string>(kRegTool));
  EXPECT_EQ(fake.processes.creations[0].commandLine, " import \"C:\\data\\settings.reg\"");
  // The command line is built in a block of its exact size, then copied for the system.
  const std::string lineBytes =
      std::to_string(std::strlen(" import \"C:\\data\\settings.reg\"") + 1);
  EXPECT_EQ(fake.log.ArgumentsOfEach("HeapAlloc"),
            (std::vector<std::string>{lineBytes, lineBytes, std::to_string(sizeof kRegTool)}));
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
  EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST(RunToolTest, ASecondArgumentWithQuotesGetsASecondPair) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::RunTool(fake.platform, kRegTool, "import", "\"C:\\My Data\\a.reg\""), 0);
  EXPECT_EQ(fake.processes.creations.at(0).commandLine, " import \"\"C:\\My Data\\a.reg\"\"");
}

TEST(RunToolTest, EmptyArgumentsStillGiveTheLayout) {
  fakes::FakePlatform fake;
  EXPECT_EQ(mordelt::RunTool(fake.platform, kRegTool, "", ""), 0);
  EXPECT_EQ(fake.processes.creations.at(0).commandLine, "  \"\"");
}

TEST(RunToolTest, LongArgumentsAreNotCut) {
  fakes::FakePlatform fake;
  const std::string first(5000, 'a');
  const std::string second(70000, 'b');
  EXPECT_EQ(mordelt::RunTool(fake.platform, kRegTool, first.c_str(), second.c_str()), 0);
  EXPECT_EQ(fake.processes.creations.at(0).commandLine, " " + first + " \"" + second + "\"");
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
}

TEST(RunToolTest, AToolThatEndsWithAnErrorStillGivesZero) {
  fakes::FakePlatform fake;
  fake.processes.childExitCode = 1;
  EXPECT_EQ(mordelt::RunTool(fake.platform, kRegTool, "import", "C:\\missing.reg"), 0);
}

TEST(RunToolTest, AToolThatCannotStartGivesOne) {
  fakes::FakePlatform fake;
  fake.log.Fail("CreateProcessA", 2);
  EXPECT_EQ(mordelt::RunTool(fake.platform, kRegTool, "import", "a.reg"), 1);
  EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
  EXPECT_EQ(fake.OpenHandles(), 0);
}

TEST(RunToolTest, HeapExhaustionAtAnyOfItsThreeBlocksGivesOneAndLeaksNothing) {
  for (int occurrence : {0, 1, 2}) {
    fakes::FakePlatform fake;
    fake.log.Fail("HeapAlloc", fakes::kDefaultFault, occurrence);
    EXPECT_EQ(mordelt::RunTool(fake.platform, kRegTool, "import", "a.reg"), 1) << occurrence;
    EXPECT_EQ(fake.log.Count("CreateProcessA"), 0u);
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
    EXPECT_EQ(fake.memory.BadFrees(), 0);
  }
}

TEST(ToolCommandLineBytesTest, CountsTheFiveAddedBytesAndRefusesSumsThatDoNotFit) {
  const std::size_t max = static_cast<std::size_t>(-1);
  EXPECT_EQ(mordelt::ToolCommandLineBytes(0, 0), 5u);
  EXPECT_EQ(mordelt::ToolCommandLineBytes(6, 20), 31u);
  EXPECT_EQ(mordelt::ToolCommandLineBytes(max - 10, 5), max);
  EXPECT_EQ(mordelt::ToolCommandLineBytes(max - 10, 6), max);
  EXPECT_EQ(mordelt::ToolCommandLineBytes(max - 4, 0), max);
  EXPECT_EQ(mordelt::ToolCommandLineBytes(max, max), max);
  EXPECT_EQ(mordelt::ToolCommandLineBytes(max - 6, 0), max - 1);
}

}  // namespace
