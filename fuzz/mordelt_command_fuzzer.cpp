// Mordelt's whole run over the fakes: the start-up sequence (splitter at "*", five slots), the
// dispatcher and every verb's operation, in a world the input makes (registry keys and values,
// some of them refusing changes; files, some read-only; a device tree with present and absent
// devices and their identifier lists) and with calls failing where the input says.
//
// Always: the exit code and the way the run ends are among those of the verb the plain second
// splitter and verb table below find; the texts are the usage text, the deletion message of the
// two file verbs that delete values, or nothing; no key, stream, search, process or device set is
// left open and no block is live but the argument table's. Without a failing call, "-hwid" must
// give what a plain search of the device tree with the reference matcher gives, and "-add",
// "-delfile" and "-cpfile" must have done what their result says.

#include <cstdint>
#include <cstring>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "common/app_shell.h"
#include "fuzz/device_tree.h"
#include "fuzz/fuzz_support.h"
#include "fuzz/recording_registry.h"
#include "mordelt/dispatcher.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/identifier_reference.h"
#include "tests/unit/mordelt_usage.h"

namespace {

using testing_support::kMordeltUsage;

struct VerbRule {
  const char* name;
  std::size_t compared;
  std::size_t required;
  bool exits;              // ends the process rather than returning
  std::set<int> codes;     // the exit codes it can end with
  bool writesDeleteError;  // may write "Error: the number of error is N"
};

const VerbRule kVerbRules[] = {
    {"-add", 4, 3, true, {0, 5}, false},
    {"-importreg", 8, 2, false, {0, 1}, false},
    {"-delfile", 8, 1, false, {0, 7}, false},
    {"-delregfromfile", 14, 1, false, {0, 6}, true},
    {"-delregkeyfromfile", 14, 1, false, {0, 6}, true},
    {"-cpfile", 7, 2, false, {0, 7}, false},
    {"-regfile", 4, 1, false, {0, 5}, false},
    {"-hwid", 5, 0, false, {0, 4}, false},
    {"-rescan", 7, 0, false, {0, 2}, false},
    {"-delete", 7, 2, true, {0, 6}, false},
};

const VerbRule* FindRule(const std::string& entry) {
  for (const VerbRule& rule : kVerbRules) {
    if (entry.compare(0, rule.compared, rule.name, rule.compared) == 0) return &rule;
  }
  return nullptr;
}

using fuzzing::AnyMatches;
using fuzzing::ShortText;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  fakes::FakePlatform fake;
  fuzzing::RecordingRegistry registry(fake.registry);
  const platform::Platform platform = fuzzing::RecordedPlatform(fake, registry);
  if (input.ConsumeBool()) fake.codePage.UseShiftJis();

  // The registry.
  const int keys = input.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < keys; ++i) {
    const std::string path = ShortText(input, 24);
    if (!path.empty() && path[0] == '\\') continue;
    switch (input.ConsumeIntegralInRange<int>(0, 3)) {
      case 0:
        fake.registry.AddKey(path);
        break;
      case 1:
        fake.registry.PutString(path, ShortText(input, 12), ShortText(input, 12));
        break;
      case 2:
        fake.registry.DenyCreate(path);
        break;
      default:
        fake.registry.DenySetValue(path);
        break;
    }
  }
  // The files.
  const int files = input.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < files; ++i) {
    const std::string name = ShortText(input, 12);
    const std::uint32_t attributes = input.ConsumeBool() ? 0x21u : 0x20u;  // read-only or not
    fake.files.AddFile(name, input.ConsumeRandomLengthString(1024), attributes);
  }
  // The device tree.
  fuzzing::AddDevices(input, fake.devices);
  if (input.ConsumeBool()) fuzzing::PlanFaults(input, fake.log, 3, 160, true);
  const std::string commandLine(input.ConsumeRemainingBytesAsString().c_str());

  const std::vector<fakes::FakeDevice> tree = fake.devices.tree;
  const std::vector<std::string> entries =
      fuzzing::ReferenceSplit(fake.codePage, commandLine, '*', false, false);

  common::ShellState shell;
  const common::CommandResult result = common::RunStartupSequence(
      platform, shell, reinterpret_cast<platform::InstanceHandle>(0x400000), commandLine.c_str(), 1,
      mordelt::kMordeltProgram);
  const bool exited = result.ending == common::Ending::ExitProcess;
  const std::string& output = fake.console.output;

  // Nothing left behind, whatever happened.
  fuzzing::Require(fake.OpenHandles() == 0, "a handle is left open");
  fuzzing::Require(fake.memory.LiveBlocks() == fuzzing::AllocationsBefore(fake.log, "LoadStringA"),
                   "blocks other than the argument table's are live");
  fuzzing::Require(fake.memory.BadFrees() == 0, "a block was freed that was not live");
  fuzzing::Require(fake.processes.badCloses == 0 && fake.files.BadCloses() == 0,
                   "a handle was closed that was not open");

  bool anyFailed = false;
  bool splitFailed = false;
  for (const fakes::Call& call : fake.log.calls()) {
    if (call.name == "LoadStringA") break;
    splitFailed = splitFailed || call.failed;
  }
  for (const fakes::Call& call : fake.log.calls()) anyFailed = anyFailed || call.failed;

  if (splitFailed) {
    fuzzing::Require(exited && result.exitCode == 1 && output.empty(),
                     "entries that cannot be stored must end with 1 and no text");
    return 0;
  }
  if (entries.empty()) {
    fuzzing::Require(!exited && result.exitCode == 0 && output.empty(),
                     "an empty command line must end with 0 and no text");
    return 0;
  }
  const VerbRule* rule = FindRule(entries[0]);
  if (entries.size() > 5 || rule == nullptr || entries.size() - 1 < rule->required) {
    fuzzing::Require(exited && result.exitCode == 1 && output == kMordeltUsage,
                     "usage text and 1 expected, got " + std::to_string(result.exitCode));
    return 0;
  }
  const std::string verb = rule->name;
  fuzzing::Require(exited == rule->exits, verb + ": wrong ending");
  fuzzing::Require(rule->codes.count(result.exitCode) == 1,
                   verb + ": exit code " + std::to_string(result.exitCode));
  const std::vector<fuzzing::RegistryOperation>& made = registry.operations;
  std::string deleteError;
  if (rule->writesDeleteError && !made.empty() && made.back().valueCallMade &&
      made.back().valueResult != 0) {
    deleteError = fuzzing::DeleteErrorText(made.back().valueResult);
  }
  fuzzing::Require(output == deleteError, verb + ": texts: " + output);
  if (anyFailed) return 0;

  // Without a failing call: what the verb did matches its result.
  if (verb == "-add" && result.exitCode == 0) {
    fuzzing::Require(fake.registry.StringValue(entries[1], entries[2]) == entries[3],
                     "-add gave 0 without the value");
  }
  if (verb == "-delfile") {
    fuzzing::Require((result.exitCode == 0) == !fake.files.Exists(entries[1]),
                     "-delfile result does not say whether the file is gone");
  }
  if (verb == "-cpfile" && result.exitCode == 0) {
    fuzzing::Require(fake.files.Exists(entries[2]), "-cpfile gave 0 without a destination");
  }
  if (verb == "-hwid") {
    bool found = false;
    for (std::size_t a = 1; a < entries.size() && !found; ++a) {
      if (entries[a][0] != '#') continue;
      const std::string patternText = "*" + entries[a].substr(1);
      const reference::Pattern pattern = reference::Parse(fake.codePage, patternText);
      for (std::size_t d = 0; d < tree.size() && !found; ++d) {
        if (!tree[d].present) continue;
        found = patternText == "*" || AnyMatches(fake.codePage, tree[d].hardwareIds, pattern) ||
                AnyMatches(fake.codePage, tree[d].compatibleIds, pattern);
      }
    }
    fuzzing::Require(result.exitCode == (found ? 0 : 4),
                     "-hwid gives " + std::to_string(result.exitCode) + " against the reference");
  }
  return 0;
}
