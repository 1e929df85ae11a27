#include "mordelt/dispatcher.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/fakes/fake_platform.h"
#include "tests/unit/argument_table.h"
#include "tests/unit/mordelt_usage.h"

namespace {

using testing_support::kMordeltUsage;

using Table = testing_support::ArgumentTable;

common::CommandResult Dispatch(fakes::FakePlatform& fake, Table& table) {
  return mordelt::DispatchCommand(fake.platform, table.data(), table.count());
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

int RunHashLoop(Table& table, int matchOn) {
  fakes::FakePlatform fake;
  QueryRecorder::patterns.clear();
  QueryRecorder::matchOn = matchOn;
  return mordelt::QueryEachHashPattern(fake.platform, table.data(), table.count(),
                                       QueryRecorder::Query);
}

TEST(QueryEachHashPatternTest, NoArgumentsOrNoneWithHashGiveFourWithoutAQuery) {
  Table none{};
  EXPECT_EQ(RunHashLoop(none, 1), 4);
  Table plain{"PCI\\VEN_1234", "USB*"};
  EXPECT_EQ(RunHashLoop(plain, 1), 4);
  EXPECT_TRUE(QueryRecorder::patterns.empty());
}

TEST(QueryEachHashPatternTest, ReplacesOnlyTheLeadingHashInPlace) {
  Table table{"#PCI\\VEN_#1", "#"};
  EXPECT_EQ(RunHashLoop(table, 0), 4);
  EXPECT_EQ(QueryRecorder::patterns, (std::vector<std::string>{"*PCI\\VEN_#1", "*"}));
  EXPECT_EQ(table.at(0), "*PCI\\VEN_#1");
}

TEST(QueryEachHashPatternTest, StopsAtTheFirstMatchAndSkipsArgumentsWithoutHash) {
  Table table{"#A", "B", "#C", "#D"};
  EXPECT_EQ(RunHashLoop(table, 2), 0);
  EXPECT_EQ(QueryRecorder::patterns, (std::vector<std::string>{"*A", "*C"}));
  EXPECT_EQ(table.at(3), "#D");  // never looked at
}

}  // namespace
