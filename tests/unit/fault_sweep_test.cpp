// Every operation under the fault sweep (tests/unit/fault_sweep.h): each platform call it
// makes fails in turn, then the heap runs out at each allocation, and each run must end as
// defined for that failure, write only the defined texts and leave nothing open or allocated.

#include "tests/unit/fault_sweep.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/app_shell.h"
#include "common/child_process.h"
#include "common/command_line.h"
#include "mordelt/device_query.h"
#include "mordelt/device_rescan.h"
#include "mordelt/dispatcher.h"
#include "mordelt/file_commands.h"
#include "mordelt/import_registry_file.h"
#include "mordelt/multi_string.h"
#include "mordelt/path_file.h"
#include "mordelt/registry_script.h"
#include "mordelt/registry_values.h"
#include "setup/launch_sequence.h"
#include "setup/package_discovery.h"
#include "tests/unit/argument_table.h"
#include "tests/unit/mordelt_usage.h"
#include "tests/unit/setup_texts.h"

namespace {

using sweep::Expected;
using sweep::Fault;
using sweep::Operation;
using sweep::Outcome;
using sweep::World;

using testing_support::kMordeltUsage;
using testing_support::kSetupUsage;

const platform::InstanceHandle kInstance = reinterpret_cast<platform::InstanceHandle>(0x400000);

bool IsWindowCall(const std::string& name) {
  return name == "LoadStringA" || name == "RegisterClassExA" || name == "CreateWindowExA" ||
         name == "ShowWindow" || name == "UpdateWindow" || name == "LoadAcceleratorsA";
}

// Calls after which a child has run all the same: a failed wait ends the wait, and closing is
// not looked at.
bool IsAfterTheChildRan(const std::string& name) {
  return name == "PeekMessageA" || name == "MsgWaitForMultipleObjects" || name == "CloseHandle";
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
                   common::DelimiterPlace place, int capacity, int entries) {
  Operation operation;
  operation.name = name;
  operation.act = [=](World& world) {
    char* table[10] = {};
    const common::SplitResult result =
        common::SplitCommandLine(world.fake.memory, world.fake.codePage, text.c_str(), delimiter,
                                 rePrefix, place, table, capacity);
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
  Sweep(Splitter("SplitCommandLine *", " -add * SOFTWARE\\Example * Name * Value ", '*', false,
                 common::DelimiterPlace::Anywhere, 5, 4));
}

TEST(FaultSweepTest, SplitterInSetupsConfiguration) {
  Sweep(Splitter("SplitCommandLine -", "-i Product.msi -l install.log -s", '-', true,
                 common::DelimiterPlace::AtWordStart, 10, 3));
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
                   [](const Fault&) -> Expected {
                     return {"1 exit", kMordeltUsage};
                   }));
}

TEST(FaultSweepTest, MordeltStartUpWithMoreEntriesThanTheTableHolds) {
  Sweep(MordeltRun("Mordelt six entries", "-add*a*b*c*d*e", 5, {"1 exit", kMordeltUsage},
                   [](const Fault&) -> Expected {
                     return {"1 exit", kMordeltUsage};
                   }));
}

TEST(FaultSweepTest, MordeltStartUpWithAVerbMissingArguments) {
  Sweep(MordeltRun("Mordelt -importreg one argument", "-importreg*import", 2,
                   {"1 exit", kMordeltUsage}, [](const Fault&) -> Expected {
                     return {"1 exit", kMordeltUsage};
                   }));
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
    if (fault.name == "HeapAlloc") {
      EXPECT_EQ(world.fake.log.Count("CreateProcessA"), 0u);
    }
  };
  Sweep(operation);
}

TEST(FaultSweepTest, RunTool) {
  Operation operation;
  operation.name = "RunTool";
  operation.act = [](World& world) {
    return Outcome{std::to_string(mordelt::RunTool(world.platform, "C:\\WINDOWS\\system32\\reg.exe",
                                                   "import", "C:\\data\\settings.reg"))};
  };
  operation.success = {"0", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    return {IsAfterTheChildRan(fault.name) ? "0" : "1", ""};
  };
  Sweep(operation);
}

// --- setup -------------------------------------------------------------------------------------

void AddPackage(World& world, const std::string& name) { world.fake.files.AddDirectoryEntry(name); }

Expected SetupAfterSplit(const Fault& fault, bool searches) {
  if (searches && fault.name == "FindClose") return {"0 return", ""};
  if (IsAfterTheChildRan(fault.name)) return {"0 return", ""};
  // No package, no system directory, no copy of the command, msiexec not started.
  return {"1 return", ""};
}

TEST(FaultSweepTest, SetupStartUpWithDiscovery) {
  Operation operation;
  operation.name = "setup -s -l a.log";
  operation.arrange = [](World& world) {
    world.fake.files.AddDirectoryEntry("Folder.msi", fakes::kFileAttributeDirectory);
    AddPackage(world, "Product.msi");
  };
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
      EXPECT_EQ(creation.commandLine, "msiexec  /quiet /l*v  a.log /i \"Product.msi\"");
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
    testing_support::ArgumentTable table{"-u Product.msi", "-s"};
    return Outcome{Text(setup::RunLaunchSequence(world.platform, table.data(), table.count()))};
  };
  operation.success = {"0 return", ""};
  operation.onFailure = [](const Fault& fault) { return SetupAfterSplit(fault, false); };
  operation.verify = [](World& world, const Fault&) {
    EXPECT_EQ(world.fake.log.Count("FindFirstFileW"), 0u);
  };
  Sweep(operation);
}

TEST(FaultSweepTest, SetupRefusalsMakeNoCall) {
  // Refused command lines end before any platform call: there is nothing to fail.
  for (const std::vector<const char*>& entries :
       {std::vector<const char*>{"-i a.msi", "-u b.msi"}, std::vector<const char*>{"-l"},
        std::vector<const char*>{"-x"}}) {
    World world;
    testing_support::ArgumentTable table(entries);
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
    world.fake.files.AddDirectoryEntry("Folder.msi", fakes::kFileAttributeDirectory);
    AddPackage(world, "My Product.msi");
  };
  operation.act = [](World& world) {
    const std::optional<setup::PackageName> name = setup::FindFirstPackage(world.fake.files);
    return Outcome{name ? std::string(name->text) : std::string("none")};
  };
  operation.success = {"My Product.msi", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    // A search that failed to close has still found the name; one whose next entry cannot be
    // read ends there, before it.
    return {fault.name == "FindClose" ? "My Product.msi" : "none", ""};
  };
  operation.errors["FindFirstFileW"] = {fakes::kDefaultFault, 2, 3, 5};
  Sweep(operation);
}

// --- Registry value and key operations ---------------------------------------------------------

const char kKey[] = "SOFTWARE\\Example";

// How the key preparation ends when `fault` fails: the create step passes on ERROR_ACCESS_DENIED
// when the key exists (the open step then decides), closing is not looked at, and every other
// failure is the operation's failure.
bool PreparationFails(const Fault& fault, bool keyExists) {
  if (fault.name == "RegCloseKey") return false;
  if (fault.name == "RegCreateKeyExA") {
    const bool accessDenied = fault.error == fakes::kDefaultFault || fault.error == 5;
    return !(accessDenied && keyExists);
  }
  return true;
}

Operation SetString(bool keyExists) {
  Operation operation;
  operation.name = std::string("SetRegistryString, key ") + (keyExists ? "present" : "absent");
  operation.arrange = [keyExists](World& world) {
    if (keyExists) world.fake.registry.PutValue(kKey, "Name", platform::kRegDword, "\x07\0\0\0");
  };
  operation.act = [](World& world) {
    return Outcome{
        std::to_string(mordelt::SetRegistryString(world.platform, kKey, "Name", "Value"))};
  };
  operation.success = {"0", ""};
  operation.onFailure = [keyExists](const Fault& fault) -> Expected {
    return {PreparationFails(fault, keyExists) ? "5" : "0", ""};
  };
  operation.errors["RegCreateKeyExA"] = {fakes::kDefaultFault, 2, 1018};
  operation.verify = [keyExists](World& world, const Fault& fault) {
    // A failed operation leaves the value as it was.
    const std::optional<fakes::RegistryValue> value = world.fake.registry.Value(kKey, "Name");
    if (PreparationFails(fault, keyExists)) {
      EXPECT_EQ(value.has_value(), keyExists) << fault.name;
      if (value) {
        EXPECT_EQ(value->type, platform::kRegDword) << fault.name;
      }
    } else {
      EXPECT_EQ(world.fake.registry.StringValue(kKey, "Name"), std::optional<std::string>("Value"));
    }
  };
  return operation;
}

TEST(FaultSweepTest, SetRegistryStringOnAnExistingKey) { Sweep(SetString(true)); }
TEST(FaultSweepTest, SetRegistryStringOnAMissingKey) { Sweep(SetString(false)); }

TEST(FaultSweepTest, DeleteRegistryValue) {
  Operation operation;
  operation.name = "DeleteRegistryValue";
  operation.arrange = [](World& world) { world.fake.registry.PutString(kKey, "Name", "x"); };
  operation.act = [](World& world) {
    return Outcome{std::to_string(mordelt::DeleteRegistryValue(world.platform, kKey, "Name"))};
  };
  operation.success = {"0", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    if (fault.name == "RegDeleteValueA") {
      const std::uint32_t error = fault.error == fakes::kDefaultFault ? 5 : fault.error;
      return {"6", "Error: the number of error is " + std::to_string(error)};
    }
    return {PreparationFails(fault, true) ? "6" : "0", ""};
  };
  operation.errors["RegCreateKeyExA"] = {fakes::kDefaultFault, 2};
  operation.errors["RegDeleteValueA"] = {fakes::kDefaultFault, 2, 1018};
  operation.verify = [](World& world, const Fault& fault) {
    const bool removed = !world.fake.registry.Value(kKey, "Name").has_value();
    EXPECT_EQ(removed, world.fake.console.output.empty() && !PreparationFails(fault, true))
        << fault.name;
  };
  Sweep(operation);
}

TEST(FaultSweepTest, DeleteRegistrySubkey) {
  Operation operation;
  operation.name = "DeleteRegistrySubkey";
  operation.arrange = [](World& world) { world.fake.registry.AddKey("SOFTWARE\\Example\\Leaf"); };
  operation.act = [](World& world) {
    return Outcome{std::to_string(mordelt::DeleteRegistrySubkey(world.platform, kKey, "Leaf"))};
  };
  operation.success = {"0", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    if (fault.name == "RegDeleteKeyA") return {"6", ""};
    return {PreparationFails(fault, true) ? "6" : "0", ""};
  };
  operation.errors["RegCreateKeyExA"] = {fakes::kDefaultFault, 2};
  operation.verify = [](World& world, const Fault& fault) {
    // The subkey goes exactly when the operation reports success; the parent stays.
    const bool removed = !world.fake.registry.KeyExists("SOFTWARE\\Example\\Leaf");
    EXPECT_EQ(removed, fault.name != "RegDeleteKeyA" && !PreparationFails(fault, true))
        << fault.name;
    EXPECT_TRUE(world.fake.registry.KeyExists(kKey));
  };
  Sweep(operation);
}

// --- Registry script reader and path file ------------------------------------------------------

const char kScriptFile[] = "C:\\Setup\\values.txt";
const char kScript[] =
    "Values for the example tool\n"
    "\"SOFTWARE\\Example\\Tool\" \"InstallDir\" \"C:\\Program Files\\Example\"\n"
    "\"SOFTWARE\\Example\\Tool\" \"Description\" \"A long text /\n"
    "that goes on\"\n"
    "\"SOFTWARE\\Example\\Tool\\Options\" \"Mode\" \"auto\"\n";

struct ScriptEntry {
  const char* key;
  const char* name;
};
const ScriptEntry kScriptEntries[] = {{"SOFTWARE\\Example\\Tool", "InstallDir"},
                                      {"SOFTWARE\\Example\\Tool", "Description"},
                                      {"SOFTWARE\\Example\\Tool\\Options", "Mode"}};

bool IsValueCall(const std::string& name) {
  return name == "RegSetValueExA" || name == "RegDeleteValueA";
}

// The script entry whose registry calls include `fault`: each ends with its value call, and the
// first entries' calls come before the first value call.
int EntryOf(const Fault& fault) {
  return static_cast<int>(fault.CountBefore("RegSetValueExA") +
                          fault.CountBefore("RegDeleteValueA"));
}

// Whether the value call `fault` is made on a key held from an earlier entry (not one just opened).
bool OnAHeldKey(const Fault& fault) {
  for (std::size_t i = fault.position; i-- > 0;) {
    const std::string& name = (*fault.calls)[i].name;
    if (name == "RegOpenKeyExA") return false;
    if (IsValueCall(name)) return true;
  }
  return false;
}

// Whether a failed open of a script or path file found no file to read: nothing to do then.
bool NoFileToRead(const Fault& fault) {
  return fault.name == "CreateFileA" && fault.error == platform::kErrorFileNotFound;
}

// Whether `fault` fails the opening of a script or path file, before anything is read.
bool IsOpeningCall(const Fault& fault) {
  return fault.name == "CreateFileA" || fault.name == "GetFileType" || fault.name == "fdopen";
}

// How a script run ends when `fault` fails: a script that is not there is nothing to do; one
// that cannot be opened or read, and memory running out, stop the script with the mode's failure
// code (the entries read before stay applied); a registry failure is the failure of its entry.
Expected ScriptEnd(const Fault& fault, bool deleting) {
  const std::string failure = deleting ? "6" : "5";
  if (NoFileToRead(fault) || fault.name == "fclose") return {"0", ""};
  if (IsOpeningCall(fault) || fault.name == "fgets" || fault.name == "HeapAlloc") {
    return {failure, ""};
  }
  // A held key found deleted is prepared again, and the entry applied.
  if (IsValueCall(fault.name) && fault.error == 1018 && OnAHeldKey(fault)) return {"0", ""};
  if (fault.name == "RegDeleteValueA") {
    const std::uint32_t error = fault.error == fakes::kDefaultFault ? 5 : fault.error;
    return {failure, "Error: the number of error is " + std::to_string(error)};
  }
  return {PreparationFails(fault, true) ? failure : "0", ""};
}

Operation Script(bool deleting) {
  Operation operation;
  operation.name = deleting ? "DeleteValuesFromScriptFile" : "SetValuesFromScriptFile";
  operation.arrange = [deleting](World& world) {
    world.fake.files.AddFile(kScriptFile, kScript);
    for (const ScriptEntry& entry : kScriptEntries) {
      if (deleting) {
        world.fake.registry.PutString(entry.key, entry.name, "old");
      } else {
        world.fake.registry.AddKey(entry.key);
      }
    }
  };
  operation.act = [deleting](World& world) {
    const int result = deleting ? mordelt::DeleteValuesFromScriptFile(world.platform, kScriptFile)
                                : mordelt::SetValuesFromScriptFile(world.platform, kScriptFile);
    return Outcome{std::to_string(result)};
  };
  operation.success = {"0", ""};
  operation.onFailure = [deleting](const Fault& fault) { return ScriptEnd(fault, deleting); };
  operation.errors["CreateFileA"] = {fakes::kDefaultFault, platform::kErrorFileNotFound};
  operation.errors["RegCreateKeyExA"] = {fakes::kDefaultFault, 2};
  operation.errors["RegSetValueExA"] = {fakes::kDefaultFault, 1018};
  operation.errors["RegDeleteValueA"] = {fakes::kDefaultFault, 2, 1018};
  operation.verify = [deleting](World& world, const Fault& fault) {
    // Entries before a failing one stay applied; neither it nor any after it is made. A run
    // that does not stop applies every entry.
    const bool stopped = ScriptEnd(fault, deleting).result != "0";
    if (IsOpeningCall(fault)) return;
    const int failing = stopped ? EntryOf(fault) : 3;
    for (int i = 0; i < 3; ++i) {
      const ScriptEntry& entry = kScriptEntries[i];
      const bool applied = deleting ? !world.fake.registry.Value(entry.key, entry.name).has_value()
                                    : world.fake.registry.Value(entry.key, entry.name).has_value();
      EXPECT_EQ(applied, i < failing) << fault.name << " entry " << i;
    }
  };
  return operation;
}

TEST(FaultSweepTest, ScriptReaderSettingValues) { Sweep(Script(false)); }
TEST(FaultSweepTest, ScriptReaderDeletingValues) { Sweep(Script(true)); }

const char kPathFile[] = "C:\\Setup\\value.txt";

Operation PathFile() {
  Operation operation;
  operation.name = "DeleteValueFromPathFile";
  operation.arrange = [](World& world) {
    world.fake.files.AddFile(kPathFile, "\n  SOFTWARE\\Example\\Tool\\InstallDir second\n");
    world.fake.registry.PutString("SOFTWARE\\Example\\Tool", "InstallDir", "x");
  };
  operation.act = [](World& world) {
    return Outcome{std::to_string(mordelt::DeleteValueFromPathFile(world.platform, kPathFile))};
  };
  operation.success = {"0", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    if (NoFileToRead(fault) || fault.name == "fclose") return {"0", ""};
    if (IsOpeningCall(fault) || fault.name == "fgets") return {"6", ""};  // nothing removed
    return ScriptEnd(fault, true);
  };
  operation.errors["CreateFileA"] = {fakes::kDefaultFault, platform::kErrorFileNotFound};
  operation.errors["RegCreateKeyExA"] = {fakes::kDefaultFault, 2};
  operation.errors["RegDeleteValueA"] = {fakes::kDefaultFault, 2};
  return operation;
}

TEST(FaultSweepTest, PathFile) { Sweep(PathFile()); }

// --- Devices -----------------------------------------------------------------------------------

void AddDevices(World& world) {
  fakes::FakeDevice first;
  first.instanceId = "PCI\\VEN_1\\0";
  first.hardwareIds = fakes::MultiSz({"PCI\\VEN_1", "PCI\\VEN_1&CC_03"});
  first.compatibleIds = fakes::MultiSz({"PCI\\CC_03"});
  world.fake.devices.Add(first);
  fakes::FakeDevice second;
  second.instanceId = "ACPI\\PNP0501\\1";
  second.hardwareIds = fakes::MultiSz({"ACPI\\PNP0501"});
  second.compatibleIds = fakes::MultiSz({"*PNP0500"});
  world.fake.devices.Add(second);
}

// The positions of the calls that read the matching device's hardware identifiers: from the
// allocation after the second device was enumerated to the index allocation after the property
// call.
std::pair<std::size_t, std::size_t> MatchingListRead(const Fault& fault) {
  const std::vector<fakes::Call>& calls = *fault.calls;
  std::size_t enumerations = 0;
  std::size_t begin = calls.size();
  for (std::size_t i = 0; i < calls.size(); ++i) {
    if (calls[i].name == "SetupDiEnumDeviceInfo" && ++enumerations == 2) begin = i + 1;
  }
  std::size_t property = begin;
  while (property < calls.size() && calls[property].name != "SetupDiGetDeviceRegistryPropertyA") {
    ++property;
  }
  return {begin, property + 1};
}

bool ReadsTheMatchingList(const Fault& fault) {
  const auto read = MatchingListRead(fault);
  return fault.position >= read.first && fault.position <= read.second;
}

Operation Query() {
  Operation operation;
  operation.name = "QueryPresentDevices *PNP0501";
  operation.arrange = AddDevices;
  operation.act = [](World& world) {
    char pattern[] = "*PNP0501";
    char* arguments[] = {pattern};
    return Outcome{std::to_string(mordelt::QueryPresentDevices(world.platform, 1, arguments))};
  };
  operation.success = {"0", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    // The pattern table, the set and its details: failure.
    if (fault.name == "HeapAlloc" && fault.occurrence == 0) return {"2", ""};
    if (fault.name == "SetupDiGetClassDevsExA" || fault.name == "SetupDiGetDeviceInfoListDetailA") {
      return {"2", ""};
    }
    // The walk ends before the matching device, or its identifiers count as none.
    if (fault.name == "SetupDiEnumDeviceInfo" || ReadsTheMatchingList(fault)) return {"4", ""};
    return {"0", ""};
  };
  operation.onExhaustion = [](const Fault& fault) -> Expected {
    if (fault.occurrence == 0) return {"2", ""};
    // Every list read from there on counts as none.
    return {fault.position <= MatchingListRead(fault).second ? "4" : "0", ""};
  };
  return operation;
}

TEST(FaultSweepTest, QueryDevices) { Sweep(Query()); }

TEST(FaultSweepTest, ReadDeviceMultiStringProperty) {
  Operation operation;
  operation.name = "ReadDeviceMultiStringProperty, 10000 bytes";
  operation.arrange = [](World& world) {
    fakes::FakeDevice device;
    device.instanceId = "ROOT\\BIG\\0";
    device.hardwareIds = fakes::MultiSz({std::string(6000, 'a'), std::string(3998, 'b')});
    world.fake.devices.Add(device);
  };
  operation.act = [](World& world) {
    platform::Devices& devices = world.fake.devices;
    platform::UniqueDeviceInfoSet set(
        devices, devices.SetupDiGetClassDevsExA(nullptr, platform::kDigcfAllClasses));
    if (!set) return Outcome{"no set"};
    platform::DeviceInfoData device;
    if (!devices.SetupDiEnumDeviceInfo(set.get(), 0, &device)) return Outcome{"no device"};
    mordelt::MultiStringIndex list = mordelt::ReadDeviceMultiStringProperty(
        world.fake.memory, devices, set.get(), device, platform::kSpdrpHardwareId);
    if (!list) return Outcome{"none"};
    std::size_t count = 0;
    while (list.get()[count] != nullptr) ++count;
    return Outcome{std::to_string(count) + " strings"};
  };
  operation.success = {"2 strings", ""};
  operation.onFailure = [](const Fault& fault) -> Expected {
    if (fault.name == "SetupDiGetClassDevsExA") return {"no set", ""};
    if (fault.name == "SetupDiEnumDeviceInfo") return {"no device", ""};
    if (fault.name == "SetupDiDestroyDeviceInfoList") return {"2 strings", ""};
    // The first read is too small by design; failing it otherwise, or any later step, gives none.
    return {"none", ""};
  };
  // GetLastError fails by answering another error than the insufficient buffer.
  operation.errors["GetLastError"] = {8};
  operation.errors["SetupDiGetDeviceRegistryPropertyA"] = {fakes::kDefaultFault, 122};
  Sweep(operation);
}

TEST(FaultSweepTest, RescanDeviceTree) {
  Operation operation;
  operation.name = "RescanDeviceTree";
  operation.act = [](World& world) {
    return Outcome{std::to_string(mordelt::RescanDeviceTree(world.fake.devices))};
  };
  operation.success = {"0", ""};
  operation.onFailure = [](const Fault&) { return Expected{"2", ""}; };
  operation.errors["CM_Locate_DevNode_ExA"] = {fakes::kDefaultFault, 0x0D};
  Sweep(operation);
}

// --- File commands -----------------------------------------------------------------------------

TEST(FaultSweepTest, CopyFileReplacing) {
  Operation operation;
  operation.name = "CopyFileReplacing";
  operation.arrange = [](World& world) {
    world.fake.files.AddFile("C:\\a.txt", "new");
    world.fake.files.AddFile("C:\\b.txt", "old");
  };
  operation.act = [](World& world) {
    return Outcome{
        std::to_string(mordelt::CopyFileReplacing(world.fake.files, "C:\\a.txt", "C:\\b.txt"))};
  };
  operation.success = {"0", ""};
  operation.onFailure = [](const Fault&) { return Expected{"7", ""}; };
  operation.verify = [](World& world, const Fault&) {
    EXPECT_EQ(world.fake.files.Content("C:\\b.txt"), "old");
  };
  Sweep(operation);
}

// Every call of DeleteFileForced but the closing comes before the deletion or is the deletion:
// failing any of them leaves the read-only file in place and the deletion refused, unless the
// open says there is no such file. A file marked for deletion goes, even when closing it fails.
std::string DeleteEnd(const Fault& fault) {
  if (fault.name == "CreateFileA" && fault.error == platform::kErrorFileNotFound) return "0";
  return fault.name == "CloseHandle" ? "0" : "7";
}

TEST(FaultSweepTest, DeleteFileForced) {
  Operation operation;
  operation.name = "DeleteFileForced, read-only file";
  operation.arrange = [](World& world) {
    world.fake.files.AddFile("C:\\a.txt", "x", fakes::kFileAttributeArchive | 1);
  };
  operation.act = [](World& world) {
    return Outcome{std::to_string(mordelt::DeleteFileForced(world.fake.files, "C:\\a.txt"))};
  };
  operation.success = {"0", ""};
  operation.onFailure = [](const Fault& fault) { return Expected{DeleteEnd(fault), ""}; };
  operation.errors["CreateFileA"] = {fakes::kDefaultFault, platform::kErrorFileNotFound};
  operation.verify = [](World& world, const Fault& fault) {
    EXPECT_EQ(world.fake.files.Exists("C:\\a.txt"), fault.name != "CloseHandle") << fault.name;
    if (fault.name != "CloseHandle") {
      EXPECT_EQ(world.fake.files.Attributes("C:\\a.txt"), fakes::kFileAttributeArchive | 1)
          << fault.name;
    }
  };
  Sweep(operation);
}

// --- Every verb through Mordelt's start-up and dispatcher ---------------------------------------

// `operation` run as Mordelt's command line `commandLine` (its `entries` entries): the splitter's
// allocations and the window calls come first; after them, each call ends the run as it ends the
// operation, with the result mapped by `code` and the verb's ending.
Operation ThroughMordelt(
    Operation operation, std::string commandLine, std::size_t entries, bool exits,
    std::function<std::string(const std::string&)> code = [](const std::string& result) {
      return result;
    }) {
  const Operation inner = operation;
  const std::string ending = exits ? " exit" : " return";
  operation.name = "Mordelt " + commandLine;
  operation.act = [commandLine](World& world) {
    common::ShellState shell;
    const common::CommandResult result = common::RunStartupSequence(
        world.platform, shell, kInstance, commandLine.c_str(), 1, mordelt::kMordeltProgram);
    return Outcome{Text(result), TableBlocks(world)};
  };
  operation.success = {code(inner.success.result) + ending, inner.success.output};
  // The same fault as the operation alone sees it: counted from where the operation begins.
  auto translate = [](const Fault& fault) {
    static std::vector<fakes::Call> operationCalls;
    std::size_t start = 0;
    for (std::size_t i = 0; i < fault.calls->size(); ++i) {
      if ((*fault.calls)[i].name == "LoadAcceleratorsA") start = i + 1;
    }
    operationCalls.assign(fault.calls->begin() + static_cast<long>(start), fault.calls->end());
    Fault inside = fault;
    inside.position = fault.position - start;
    inside.calls = &operationCalls;
    inside.occurrence = 0;
    for (std::size_t i = start; i < fault.position; ++i) {
      if ((*fault.calls)[i].name == fault.name) ++inside.occurrence;
    }
    return inside;
  };
  auto wrap = [entries, ending, code, inner, translate](
                  const Fault& fault,
                  const std::function<Expected(const Fault&)>& end) -> Expected {
    if (fault.name == "HeapAlloc" && fault.occurrence < entries) return {"1 exit", ""};
    if (IsWindowCall(fault.name))
      return {code(inner.success.result) + ending, inner.success.output};
    const Expected expected = end(translate(fault));
    return {code(expected.result) + ending, expected.output};
  };
  operation.onFailure = [wrap, inner](const Fault& fault) { return wrap(fault, inner.onFailure); };
  operation.onExhaustion = [wrap, inner](const Fault& fault) {
    return wrap(fault, inner.onExhaustion ? inner.onExhaustion : inner.onFailure);
  };
  // The state checks of the operation are made by its own sweep.
  operation.verify = nullptr;
  return operation;
}

TEST(FaultSweepTest, EveryVerbThroughMordelt) {
  Sweep(ThroughMordelt(SetString(true), "-add*SOFTWARE\\Example*Name*Value", 4, true));
  {
    Operation subkey;
    subkey.arrange = [](World& world) { world.fake.registry.AddKey("SOFTWARE\\Example\\Leaf"); };
    subkey.success = {"0", ""};
    subkey.onFailure = [](const Fault& fault) -> Expected {
      if (fault.name == "RegDeleteKeyA") return {"6", ""};
      return {PreparationFails(fault, true) ? "6" : "0", ""};
    };
    Sweep(ThroughMordelt(subkey, "-delete*SOFTWARE\\Example*Leaf", 3, true));
  }
  Sweep(ThroughMordelt(Script(false), std::string("-regfile*") + kScriptFile, 2, false));
  Sweep(ThroughMordelt(Script(true), std::string("-delregfromfile*") + kScriptFile, 2, false));
  Sweep(ThroughMordelt(PathFile(), std::string("-delregkeyfromfile*") + kPathFile, 2, false));
  // "-hwid" turns every failure of the query into 4.
  Sweep(ThroughMordelt(Query(), "-hwid*#PNP0501", 2, false,
                       [](const std::string& result) { return result == "0" ? "0" : "4"; }));
  {
    Operation rescan;
    rescan.success = {"0", ""};
    rescan.onFailure = [](const Fault&) { return Expected{"2", ""}; };
    Sweep(ThroughMordelt(rescan, "-rescan", 1, false));
  }
  {
    Operation copy;
    copy.arrange = [](World& world) { world.fake.files.AddFile("C:\\a.txt", "new"); };
    copy.success = {"0", ""};
    copy.onFailure = [](const Fault&) { return Expected{"7", ""}; };
    Sweep(ThroughMordelt(copy, "-cpfile*C:\\a.txt*C:\\b.txt", 3, false));
  }
  {
    Operation remove;
    remove.arrange = [](World& world) { world.fake.files.AddFile("C:\\a.txt", "x", 0x21); };
    remove.success = {"0", ""};
    remove.onFailure = [](const Fault& fault) { return Expected{DeleteEnd(fault), ""}; };
    Sweep(ThroughMordelt(remove, "-delfile*C:\\a.txt", 2, false));
  }
}

}  // namespace
