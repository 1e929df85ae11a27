// Every operation under the fault sweep (tests/unit/fault_sweep.h): each platform call it
// makes fails in turn, then the heap runs out at each allocation, and each run must end as
// defined for that failure, write only the defined texts and leave nothing open or allocated.

#include "tests/unit/fault_sweep.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "common/app_shell.h"
#include "common/child_process.h"
#include "common/command_line.h"
#include "mordelt/dispatcher.h"
#include "setup/launch_sequence.h"
#include "setup/package_discovery.h"

namespace {

using sweep::Expected;
using sweep::Fault;
using sweep::Operation;
using sweep::Outcome;
using sweep::World;

const char kMordeltUsage[] =
    "Usage:Mordelt.exe  -int [OPTION]\n"
    "-int - if regestry val is  integer:\n"
    "Options:\n"
    " -add <path in registry> <key's name> <value>\n"
    " -delete <path in registry> <key's name> \n";
const char kSetupUsage[] =
    "Setup Options <Required Parameter> \n"
    "Options:\n"
    "-i <Product.msi> : Install msi package. \n"
    "-u <Product.msi> : Uninstall msi package. \n"
    "-l <Log file>    : Log information in the <Log file>. \n"
    "-s               : Quiet mode, no user interaction. \n";

const platform::InstanceHandle kInstance = reinterpret_cast<platform::InstanceHandle>(0x400000);

bool IsWindowCall(const std::string& name) {
  return name == "LoadStringA" || name == "RegisterClassExA" || name == "CreateWindowExA" ||
         name == "ShowWindow" || name == "UpdateWindow" || name == "LoadAcceleratorsA";
}

// Calls after which a child has run all the same: waiting and closing are not looked at.
bool IsAfterTheChildRan(const std::string& name) {
  return name == "WaitForSingleObject" || name == "CloseHandle";
}

std::string Text(common::RunOutcome outcome) {
  switch (outcome) {
    case common::RunOutcome::Finished:
      return "finished";
    case common::RunOutcome::NotStarted:
      return "not started";
    case common::RunOutcome::OutOfMemory:
      return "out of memory";
  }
  return "?";
}

std::string Text(const common::CommandResult& result) {
  return std::to_string(result.exitCode) +
         (result.ending == common::Ending::Return ? " return" : " exit");
}

std::string Text(const common::SplitResult& result) {
  const char* status = result.status == common::SplitStatus::Complete         ? "complete"
                       : result.status == common::SplitStatus::TooManyEntries ? "too many"
                                                                              : "out of memory";
  return std::to_string(result.count) + " " + status;
}

// The entries the splitter stored: the allocations made, and not refused, before the shell went
// on to its resources.
std::size_t TableBlocks(const World& world) {
  std::size_t blocks = 0;
  for (const fakes::Call& call : world.fake.log.calls()) {
    if (call.name == "LoadStringA") break;
    if (call.name == "HeapAlloc" && !call.failed) ++blocks;
  }
  return blocks;
}

void Sweep(const Operation& operation) {
  const int callRuns = sweep::SweepEachCall(operation);
  const int heapRuns = sweep::SweepHeapExhaustion(operation);
  EXPECT_GT(callRuns, 0) << operation.name << " made no platform call";
  ::testing::Test::RecordProperty("failing_runs", callRuns + heapRuns);
}

// --- Command-line splitter ---------------------------------------------------------------------

Operation Splitter(const std::string& name, std::string text, char delimiter, bool rePrefix,
                   int capacity, int entries) {
  Operation operation;
  operation.name = name;
  operation.act = [=](World& world) {
    char* table[10] = {};
    const common::SplitResult result = common::SplitCommandLine(
        world.fake.memory, world.fake.codePage, text.c_str(), delimiter, rePrefix, table, capacity);
    return Outcome{Text(result), static_cast<std::size_t>(result.count)};
  };
  operation.success = {std::to_string(entries) + " complete", ""};
  // The entries before the refused block stay in the table.
  operation.onFailure = [](const Fault& fault) {
    return Expected{std::to_string(fault.occurrence) + " out of memory", ""};
  };
  return operation;
}

TEST(FaultSweepTest, SplitterInMordeltsConfiguration) {
  Sweep(Splitter("SplitCommandLine *", " -add * SOFTWARE\\Example * Name * Value ", '*', false, 5,
                 4));
}

TEST(FaultSweepTest, SplitterInSetupsConfiguration) {
  Sweep(Splitter("SplitCommandLine -", "-i Product.msi -l install.log -s", '-', true, 10, 3));
}

// --- Start-up sequence and Mordelt's dispatcher ------------------------------------------------

Operation MordeltRun(const std::string& name, std::string commandLine, std::size_t entries,
                     Expected success, std::function<Expected(const Fault&)> afterSplit) {
  Operation operation;
  operation.name = name;
  operation.act = [commandLine](World& world) {
    common::ShellState shell;
    const common::CommandResult result = common::RunStartupSequence(
        world.platform, shell, kInstance, commandLine.c_str(), 1, mordelt::kMordeltProgram);
    return Outcome{Text(result), TableBlocks(world)};
  };
  operation.success = success;
  operation.onFailure = [entries, success, afterSplit](const Fault& fault) -> Expected {
    // No block for an entry: nothing runs and nothing is written.
    if (fault.name == "HeapAlloc" && fault.occurrence < entries) return {"1 exit", ""};
    // The window is used by no command.
    if (IsWindowCall(fault.name)) return success;
    return afterSplit(fault);
  };
  return operation;
}

TEST(FaultSweepTest, MordeltStartUpWithImportreg) {
  Sweep(MordeltRun("Mordelt -importreg", "-importreg*import*C:\\data\\settings.reg", 3,
                   {"0 return", ""}, [](const Fault& fault) -> Expected {
                     // reg.exe has run once its process exists.
                     if (IsAfterTheChildRan(fault.name)) return {"0 return", ""};
                     // Its texts could not be copied, or it was not started.
                     return {"1 return", ""};
                   }));
}

TEST(FaultSweepTest, MordeltStartUpWithAnUnrecognisedVerb) {
  Sweep(MordeltRun("Mordelt -int", "-int*x", 2, {"1 exit", kMordeltUsage},
                   [](const Fault&) -> Expected { return {"1 exit", kMordeltUsage}; }));
}

TEST(FaultSweepTest, MordeltStartUpWithMoreEntriesThanTheTableHolds) {
  Sweep(MordeltRun("Mordelt six entries", "-add*a*b*c*d*e", 5, {"1 exit", kMordeltUsage},
                   [](const Fault&) -> Expected { return {"1 exit", kMordeltUsage}; }));
}

TEST(FaultSweepTest, MordeltStartUpWithAVerbMissingArguments) {
  Sweep(MordeltRun("Mordelt -importreg one argument", "-importreg*import", 2,
                   {"1 exit", kMordeltUsage},
                   [](const Fault&) -> Expected { return {"1 exit", kMordeltUsage}; }));
}

// --- Child process runner ----------------------------------------------------------------------

TEST(FaultSweepTest, RunAndWait) {
  Operation operation;
  operation.name = "RunAndWait";
  operation.act = [](World& world) {
    return Outcome{Text(common::RunAndWait(world.platform, "C:\\tools\\tool.exe", " a \"b\""))};
  };
  operation.success = {"finished", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    if (fault.name == "HeapAlloc") return {"out of memory", ""};
    if (fault.name == "CreateProcessA") return {"not started", ""};
    return {"finished", ""};
  };
  operation.errors["CreateProcessA"] = {fakes::kDefaultFault, 2, 5, 193};
  operation.verify = [](World& world, const Fault& fault) {
    // A refused copy starts nothing.
    if (fault.name == "HeapAlloc") EXPECT_EQ(world.fake.log.Count("CreateProcessA"), 0u);
  };
  Sweep(operation);
}

TEST(FaultSweepTest, RunTool) {
  Operation operation;
  operation.name = "RunTool";
  operation.act = [](World& world) {
    return Outcome{std::to_string(common::RunTool(world.platform, "C:\\WINDOWS\\system32\\reg.exe",
                                                  "import", "C:\\data\\settings.reg"))};
  };
  operation.success = {"0", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    return {IsAfterTheChildRan(fault.name) ? "0" : "1", ""};
  };
  Sweep(operation);
}

// --- setup -------------------------------------------------------------------------------------

void AddPackage(World& world, const std::string& name) {
  world.directory.entries.push_back({name, 0x20});
}

Expected SetupAfterSplit(const Fault& fault, bool searches) {
  if (searches && fault.name == "FindClose") return {"0 return", ""};
  if (IsAfterTheChildRan(fault.name)) return {"0 return", ""};
  // No package, no system directory, no copy of the command, msiexec not started.
  return {"1 return", ""};
}

TEST(FaultSweepTest, SetupStartUpWithDiscovery) {
  Operation operation;
  operation.name = "setup -s -l a.log";
  operation.arrange = [](World& world) { AddPackage(world, "Product.msi"); };
  operation.act = [](World& world) {
    common::ShellState shell;
    const common::CommandResult result = common::RunStartupSequence(
        world.platform, shell, kInstance, "-s -l a.log", 1, setup::kSetupProgram);
    return Outcome{Text(result), TableBlocks(world)};
  };
  operation.success = {"0 return", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    if (fault.name == "HeapAlloc" && fault.occurrence < 2) return {"1 exit", ""};
    if (IsWindowCall(fault.name)) return {"0 return", ""};
    return SetupAfterSplit(fault, true);
  };
  operation.verify = [](World& world, const Fault&) {
    for (const fakes::ProcessCreation& creation : world.fake.processes.creations) {
      EXPECT_EQ(creation.commandLine, "msiexec  /quiet /l*v  a.log /i Product.msi");
    }
  };
  Sweep(operation);
}

TEST(FaultSweepTest, SetupStartUpWithAnUnrecognisedOption) {
  Operation operation;
  operation.name = "setup -s -x";
  operation.act = [](World& world) {
    common::ShellState shell;
    const common::CommandResult result = common::RunStartupSequence(
        world.platform, shell, kInstance, "-s -x", 1, setup::kSetupProgram);
    return Outcome{Text(result), TableBlocks(world)};
  };
  operation.success = {"0 return", kSetupUsage};
  operation.onFailure = [](const Fault& fault) -> Expected {
    if (fault.name == "HeapAlloc") return {"1 exit", ""};
    return {"0 return", kSetupUsage};
  };
  Sweep(operation);
}

TEST(FaultSweepTest, SetupLaunchSequenceWithAnAction) {
  Operation operation;
  operation.name = "RunLaunchSequence -i";
  operation.arrange = [](World& world) { AddPackage(world, "Other.msi"); };
  operation.act = [](World& world) {
    sweep::Table table({"-u Product.msi", "-s"});
    return Outcome{Text(setup::RunLaunchSequence(world.platform, table.data(), table.count()))};
  };
  operation.success = {"0 return", ""};
  operation.onFailure = [](const Fault& fault) { return SetupAfterSplit(fault, false); };
  operation.verify = [](World& world, const Fault&) {
    EXPECT_EQ(world.fake.log.Count("FindFirstFileA"), 0u);
  };
  Sweep(operation);
}

TEST(FaultSweepTest, SetupRefusalsMakeNoCall) {
  // Refused command lines end before any platform call: there is nothing to fail.
  for (const std::vector<std::string>& entries :
       {std::vector<std::string>{"-i a.msi", "-u b.msi"}, std::vector<std::string>{"-l"},
        std::vector<std::string>{"-x"}}) {
    World world;
    sweep::Table table(entries);
    static_cast<void>(setup::RunLaunchSequence(world.platform, table.data(), table.count()));
    EXPECT_TRUE(world.fake.log.calls().empty()) << entries[0];
    EXPECT_EQ(world.fake.memory.LiveBlocks(), 0u);
  }
}

TEST(FaultSweepTest, FindFirstPackage) {
  Operation operation;
  operation.name = "FindFirstPackage";
  operation.arrange = [](World& world) {
    AddPackage(world, "notes.txt");
    AddPackage(world, "My Product.msi");
  };
  operation.act = [](World& world) {
    const std::optional<setup::PackageName> name = setup::FindFirstPackage(world.directory);
    return Outcome{name ? std::string(name->text) : std::string("none")};
  };
  operation.success = {"My Product.msi", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    // A search that failed to close has still found the name.
    return {fault.name == "FindClose" ? "My Product.msi" : "none", ""};
  };
  operation.errors["FindFirstFileA"] = {fakes::kDefaultFault, 2, 3, 5};
  Sweep(operation);
}

}  // namespace
