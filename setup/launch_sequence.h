#pragma once

#include "common/app_shell.h"
#include "common/command_result.h"
#include "platform/platform.h"

namespace setup {

// setup's start-up: the command line is cut into at most ten entries at each "-" that stands at
// its start or right after a blank or tab (a "-" anywhere else stays in its value), each entry
// with its "-" put back in front; the command is RunLaunchSequence. A command text refused by the
// start-up writes nothing.
extern const common::ProgramDefinition kSetupProgram;

// Writes the six lines of the usage text.
void WriteSetupUsage(platform::Console& console);

// Builds the installer command "msiexec " + one fragment per option, in the order of the
// entries ("-i" " /i ", "-u" " /x ", "-s" " /quiet", "-l" " /l*v ", each value as typed), adds
// " /i " and, in double quotes, the first package file of the current directory
// (FindFirstPackage) when no "-i" or "-u" was given, and runs it with the system directory's
// msiexec.exe, waiting until it has ended. Always returns (never ends the process) with:
//   0  msiexec ran, whatever its own exit code; or an unrecognised entry (usage text written)
//   1  a second action, an option without its value or an installer command longer than 2047
//      characters (one "Setup:Error: " message); no action and no package; the system
//      directory unknown, msiexec not started or memory out (nothing written)
// Nothing is started on any refusal.
common::CommandResult RunLaunchSequence(const platform::Platform& platform, char** entries,
                                        int count);

}  // namespace setup
