#pragma once

#include "common/app_shell.h"
#include "common/command_result.h"
#include "platform/platform.h"

namespace mordelt {

// Mordelt's start-up: the command line is cut at "*" into at most five entries, with no prefix
// put back; the command is DispatchCommand. A command text refused by the start-up draws the
// usage text.
extern const common::ProgramDefinition kMordeltProgram;

// Writes the five lines of the usage text.
void WriteUsage(platform::Console& console);

// Runs the command named by the first entry of the argument table with the entries after it.
// An empty table gives 0. An unrecognised verb, or a verb followed by fewer arguments than it
// needs, writes the usage text and ends the process with 1.
common::CommandResult DispatchCommand(const platform::Platform& platform, char** entries,
                                      int count);

}  // namespace mordelt
