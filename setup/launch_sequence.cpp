#include "setup/launch_sequence.h"

#include <cstring>
#include <optional>

#include "common/child_process.h"
#include "platform/processes.h"
#include "setup/package_discovery.h"

namespace setup {
namespace {

const char kInstallWithUninstall[] = "Setup:Error: Install action can not be used with Uninstall\n";
const char kUninstallWithInstall[] = "Setup:Error: Unistall action can not be used with Install\n";
const char kNoMsiFile[] = "Setup:Error: No msi file was specified\n";
const char kNoLogFile[] = "Setup:Error: No Log file name was specified\n";
const char kCommandTooLong[] =
    "Setup:Error: The installer command would be longer than 2047 characters\n";

// The installer program, in the system directory (never searched for elsewhere).
const char kInstallerFile[] = "\\msiexec.exe";

// The command line handed to msiexec: at most 2047 characters and a terminating zero in 2048
// zero-filled bytes, beginning with "msiexec ".
class InstallerCommand {
 public:
  InstallerCommand() {
    std::memset(text_, 0, sizeof text_);
    std::memcpy(text_, kStart, sizeof kStart - 1);
    length_ = sizeof kStart - 1;
  }
  // Appends `fragment`. Returns false, leaving the command unchanged, when it would not fit.
  [[nodiscard]] bool Append(const char* fragment) {
    const std::size_t length = std::strlen(fragment);
    if (length > sizeof text_ - 1 - length_) return false;
    std::memcpy(text_ + length_, fragment, length);
    length_ += length;
    return true;
  }
  const char* text() const { return text_; }

 private:
  static constexpr char kStart[] = "msiexec ";
  char text_[2048];
  std::size_t length_;
};

// Whether `entry` begins with the two characters of `option`.
bool HasOption(const char* entry, const char* option) {
  return std::strncmp(entry, option, 2) == 0;
}

// Appends `fragment` and then what follows the option letter of `entry`. Returns the message
// that refuses the entry (`missingValue` when nothing follows the letter), or null.
const char* AppendOptionWithValue(InstallerCommand& command, const char* entry,
                                  const char* fragment, const char* missingValue) {
  if (!command.Append(fragment)) return kCommandTooLong;
  if (std::strlen(entry) <= 2) return missingValue;
  if (!command.Append(entry + 2)) return kCommandTooLong;
  return nullptr;
}

common::CommandResult Refuse(platform::Console& console, const char* message) {
  console.Write(message);
  return common::ReturnCode(common::kExitFailure);
}

// Runs the system directory's msiexec.exe with `commandLine` and waits until it has ended.
// Returns 0 when it ran, whatever its exit code; 1 when the system directory cannot be read,
// msiexec could not be started or memory ran out.
int RunInstaller(const platform::Platform& platform, const char* commandLine) {
  const std::optional<common::SystemProgramPath> installer =
      common::FindSystemProgram(platform.processes, kInstallerFile);
  if (!installer) return common::kExitFailure;
  return common::RunAndWait(platform, installer->text, commandLine) == common::RunOutcome::Finished
             ? common::kExitSuccess
             : common::kExitFailure;
}

}  // namespace

const common::ProgramDefinition kSetupProgram = {
    '-', true, common::DelimiterPlace::AtWordStart, 10, RunLaunchSequence, WriteSetupUsage};

void WriteSetupUsage(platform::Console& console) {
  console.Write("Setup Options <Required Parameter> \n");
  console.Write("Options:\n");
  console.Write("-i <Product.msi> : Install msi package. \n");
  console.Write("-u <Product.msi> : Uninstall msi package. \n");
  console.Write("-l <Log file>    : Log information in the <Log file>. \n");
  console.Write("-s               : Quiet mode, no user interaction. \n");
}

common::CommandResult RunLaunchSequence(const platform::Platform& platform, char** entries,
                                        int count) {
  InstallerCommand command;
  bool actionTaken = false;

  for (int i = 0; i < count; ++i) {
    const char* entry = entries[i];
    const char* refusal = nullptr;
    if (HasOption(entry, "-i")) {
      if (actionTaken) return Refuse(platform.console, kInstallWithUninstall);
      actionTaken = true;
      refusal = AppendOptionWithValue(command, entry, " /i ", kNoMsiFile);
    } else if (HasOption(entry, "-u")) {
      if (actionTaken) return Refuse(platform.console, kUninstallWithInstall);
      actionTaken = true;
      refusal = AppendOptionWithValue(command, entry, " /x ", kNoMsiFile);
    } else if (std::strcmp(entry, "-s") == 0) {
      if (!command.Append(" /quiet")) refusal = kCommandTooLong;
    } else if (HasOption(entry, "-l")) {
      refusal = AppendOptionWithValue(command, entry, " /l*v ", kNoLogFile);
    } else {
      WriteSetupUsage(platform.console);
      return common::ReturnCode(common::kExitSuccess);
    }
    if (refusal != nullptr) return Refuse(platform.console, refusal);
  }

  if (!actionTaken) {
    const std::optional<PackageName> package = FindFirstPackage(platform.files);
    if (!package) return common::ReturnCode(common::kExitFailure);
    if (!command.Append(" /i \"") || !command.Append(package->text) || !command.Append("\"")) {
      return Refuse(platform.console, kCommandTooLong);
    }
  }

  return common::ReturnCode(RunInstaller(platform, command.text()));
}

}  // namespace setup
