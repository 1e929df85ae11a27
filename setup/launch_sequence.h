#pragma once

#include "common/app_shell.h"
#include "common/command_result.h"
#include "platform/platform.h"

namespace setup {

// setup's start-up: the command line is cut at "-" into at most ten entries, each with its "-"
// put back in front; the command is RunLaunchSequence.
extern const common::ProgramDefinition kSetupProgram;

// Writes the six lines of the usage text.
void WriteSetupUsage(platform::Console& console);

// Builds the installer command from the options and runs it (or refuses the options).
common::CommandResult RunLaunchSequence(const platform::Platform& platform, char** entries,
                                        int count);

}  // namespace setup
