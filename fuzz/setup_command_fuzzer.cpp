// setup's whole run over the fakes: the start-up sequence (splitter at a "-" that starts a word,
// with the prefix put back, ten slots), the option loop, the installer command, package discovery
// in a current directory the input fills (files, folders and links, some with a short name that
// the search matches), and the start of msiexec, with calls failing where the input says.
//
// Without a failing call the exit code, the texts written and the command line msiexec gets must
// equal those of a plain second implementation below. With failing calls: exit code 0 or 1, only
// the program's own texts, at most one msiexec started and then with the command line the options
// make. Always: no search or process handle left open, no block live but the argument table's.

#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "common/app_shell.h"
#include "fuzz/fuzz_support.h"
#include "setup/launch_sequence.h"
#include "tests/fakes/fake_platform.h"
#include "tests/unit/setup_texts.h"

namespace {

using testing_support::kCommandTooLong;
using testing_support::kInstallWithUninstall;
using testing_support::kNoLogFile;
using testing_support::kNoMsiFile;
using testing_support::kUninstallWithInstall;
constexpr const char* kUsage = testing_support::kSetupUsage;

constexpr std::size_t kMaxCommand = 2047;

struct Expected {
  int exitCode = 0;
  std::string output;
  std::optional<std::string> commandLine;  // what msiexec is started with, if it is
};

// The launch sequence as a plain loop over the entries.
Expected ReferenceLaunch(const std::vector<std::string>& entries,
                         const std::optional<std::string>& package, bool systemDirectoryKnown) {
  Expected expected;
  if (entries.size() > 10) return {1, kUsage, std::nullopt};
  std::string command = "msiexec ";
  bool action = false;
  auto tooLong = [&] { return command.size() > kMaxCommand; };
  for (const std::string& entry : entries) {
    const std::string option = entry.substr(0, 2);
    if (option == "-i" || option == "-u") {
      if (action) return {1, option == "-i" ? kInstallWithUninstall : kUninstallWithInstall, {}};
      action = true;
      command += option == "-i" ? " /i " : " /x ";
      if (tooLong()) return {1, kCommandTooLong, {}};
      if (entry.size() <= 2) return {1, kNoMsiFile, {}};
      command += entry.substr(2);
    } else if (entry == "-s") {
      command += " /quiet";
    } else if (option == "-l") {
      command += " /l*v ";
      if (tooLong()) return {1, kCommandTooLong, {}};
      if (entry.size() <= 2) return {1, kNoLogFile, {}};
      command += entry.substr(2);
    } else {
      return {0, kUsage, {}};
    }
    if (tooLong()) return {1, kCommandTooLong, {}};
  }
  if (!action) {
    if (!package) return {1, "", {}};
    command += " /i \"" + *package + "\"";
    if (tooLong()) return {1, kCommandTooLong, {}};
  }
  if (!systemDirectoryKnown) return {1, "", {}};
  return {0, "", command};
}

// Whether setup may take the entry as its package: a file (no folder or link) of the current
// directory (no directory part), no double quote in the name, and ".msi" at its end in any
// letter case.
bool IsPackageOfTheCurrentDirectory(const std::string& name, std::uint32_t attributes,
                                    std::uint32_t reparseTag) {
  if ((attributes & platform::kFileAttributeDirectory) != 0) return false;
  // Links are skipped; deduplicated and compressed files are files.
  if ((attributes & platform::kFileAttributeReparsePoint) != 0 && (reparseTag & 0x20000000u) != 0) {
    return false;
  }
  if (name.find_first_of("\\/:\"") != std::string::npos || name.size() < 4) return false;
  std::string end = name.substr(name.size() - 4);
  for (char& c : end) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c;
  return end == ".msi";
}

bool IsOwnText(const std::string& output) {
  for (const char* text : {"", kUsage, kInstallWithUninstall, kUninstallWithInstall, kNoMsiFile,
                           kNoLogFile, kCommandTooLong}) {
    if (output == text) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  fakes::FakePlatform fake;
  const platform::Platform& platform = fake.platform;
  if (input.ConsumeBool()) fake.codePage.UseShiftJis();

  // The current directory: a few entries, most of them packages. Long names have at most 255
  // characters, as on the system.
  const int entryCount = input.ConsumeIntegralInRange<int>(0, 3);
  for (int i = 0; i < entryCount; ++i) {
    std::string name = input.ConsumeRandomLengthString(251);
    name = name.c_str();
    if (input.ConsumeBool()) name += ".msi";
    static const std::uint32_t kKinds[] = {
        fakes::kFileAttributeArchive, fakes::kFileAttributeNormal,
        platform::kFileAttributeDirectory,
        platform::kFileAttributeReparsePoint | fakes::kFileAttributeArchive};
    const std::uint32_t attributes = input.PickValueInArray(kKinds);
    fake.files.AddDirectoryEntry(name, attributes);
    if ((attributes & platform::kFileAttributeReparsePoint) != 0) {
      // A symbolic link, a mount point, a deduplicated or a system-compressed (WOF) file.
      static const std::uint32_t kTags[] = {0xA000000Cu, 0xA0000003u, 0x80000013u, 0x80000017u};
      fake.files.SetReparseTag(name, input.PickValueInArray(kTags));
    }
    if (input.ConsumeBool()) fake.files.SetShortName(name, "PACKAG~1.MSI");
  }
  // The system directory: usual, unknown (GetSystemDirectoryA gives 0), or long.
  switch (input.ConsumeIntegralInRange<int>(0, 3)) {
    case 1:
      fake.processes.systemDirectory = "";
      break;
    case 2:
      fake.processes.systemDirectory = "C:\\" + std::string(platform::kMaxPath - 4, 'w');
      break;
    case 3:
      fake.processes.systemDirectory = "C:\\" + std::string(platform::kMaxPath - 3, 'w');
      break;
    default:
      break;
  }
  fuzzing::PlanFaults(input, fake.log, 2, 48, true);
  const std::string rest = input.ConsumeRemainingBytesAsString();
  const std::string commandLine(rest.c_str());

  common::ShellState shell;
  const common::CommandResult result = common::RunStartupSequence(
      platform, shell, reinterpret_cast<platform::InstanceHandle>(0x400000), commandLine.c_str(), 1,
      setup::kSetupProgram);

  // What must hold whatever failed.
  const std::string& output = fake.console.output;
  fuzzing::Require(result.exitCode == 0 || result.exitCode == 1,
                   "exit code " + std::to_string(result.exitCode));
  fuzzing::Require(IsOwnText(output), "text that is not setup's: " + output);
  fuzzing::Require(fake.OpenHandles() == 0, "a handle or search is left open");
  fuzzing::Require(fake.processes.badCloses == 0 && fake.files.BadCloses() == 0,
                   "a handle was closed that was not open");
  fuzzing::Require(fake.memory.BadFrees() == 0, "a block was freed that was not live");
  fuzzing::Require(fake.memory.LiveBlocks() == fuzzing::AllocationsBefore(fake.log, "LoadStringA"),
                   "blocks other than the argument table's are live");
  fuzzing::Require(fake.processes.creations.size() <= 1, "more than one msiexec");

  bool anyFailed = false;
  for (const fakes::Call& call : fake.log.calls()) anyFailed = anyFailed || call.failed;

  const std::vector<std::string> entries =
      fuzzing::ReferenceSplit(fake.codePage, commandLine, '-', true, true);
  std::optional<std::string> package;
  for (const std::string& name : fake.files.Names()) {
    if (IsPackageOfTheCurrentDirectory(name, fake.files.Attributes(name),
                                       fake.files.ReparseTag(name))) {
      package = name;
      break;
    }
  }
  const std::size_t systemLength = fake.processes.systemDirectory.size();
  const Expected expected =
      ReferenceLaunch(entries, package, systemLength > 0 && systemLength < platform::kMaxPath);

  if (!fake.processes.creations.empty()) {
    const fakes::ProcessCreation& creation = fake.processes.creations[0];
    fuzzing::Require(
        expected.commandLine.has_value() && creation.commandLine == *expected.commandLine,
        "msiexec started with another command line: " + creation.commandLine);
    fuzzing::Require(creation.applicationName == fake.processes.systemDirectory + "\\msiexec.exe",
                     "msiexec not taken from the system directory");
  }
  if (!anyFailed) {
    fuzzing::Require(result.exitCode == expected.exitCode,
                     "exit code " + std::to_string(result.exitCode) + ", expected " +
                         std::to_string(expected.exitCode));
    fuzzing::Require(output == expected.output, "texts differ: " + output);
    fuzzing::Require(fake.processes.creations.empty() == !expected.commandLine.has_value(),
                     "msiexec started or not against expectation");
  }
  return 0;
}
