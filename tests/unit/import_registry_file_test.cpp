#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mordelt/dispatcher.h"
#include "tests/fakes/fake_platform.h"

namespace {

// An argument table of writable entries, as the splitter gives it.
class Table {
 public:
  Table(std::initializer_list<const char*> entries) {
    for (const char* entry : entries) {
      storage_.emplace_back(entry, entry + std::string(entry).size() + 2);
    }
    for (auto& entry : storage_) pointers_.push_back(entry.data());
  }
  char** data() { return pointers_.data(); }
  int count() const { return static_cast<int>(pointers_.size()); }

 private:
  std::vector<std::vector<char>> storage_;
  std::vector<char*> pointers_;
};

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
              std::optional<std::string>("C:\\WINDOWS\\system32\\reg.exe"));
    EXPECT_EQ(fake.processes.creations[0].commandLine, " import \"C:\\data\\settings.reg\"");
    EXPECT_EQ(fake.console.output, "");
    EXPECT_EQ(fake.OpenHandles(), 0);
    EXPECT_EQ(fake.memory.LiveBlocks(), 0u);
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
    std::vector<std::vector<char>> storage;
    std::vector<char*> table;
    for (const char* entry : entries)
      storage.emplace_back(entry, entry + std::string(entry).size() + 2);
    for (auto& entry : storage) table.push_back(entry.data());
    const common::CommandResult result =
        mordelt::DispatchCommand(fake.platform, table.data(), static_cast<int>(table.size()));
    EXPECT_EQ(result.exitCode, 1) << entries[0];
    EXPECT_EQ(fake.log.Count("CreateProcessA"), 0u) << entries[0];
    EXPECT_EQ(fake.console.writes.size(), 5u) << entries[0];
  }
}

}  // namespace
