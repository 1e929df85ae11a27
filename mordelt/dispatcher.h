#pragma once

#include "common/app_shell.h"
#include "common/command_result.h"
#include "platform/platform.h"

namespace mordelt {

// Mordelt's start-up: the command line is cut at "*" into at most five entries, with no prefix
// put back; the command is DispatchCommand.
extern const common::ProgramDefinition kMordeltProgram;

// Writes the five lines of the usage text.
void WriteUsage(platform::Console& console);

// Asks whether a present device matches the one pattern it is given (count 1).
using PatternQuery = int (*)(const platform::Platform& platform, int count, char** arguments);

// The "-hwid" loop: every argument whose first character is "#" has that character replaced by
// "*" in place and is queried alone; the first query that gives 0 ends the loop with 0. Other
// arguments are passed over. Returns 4 when no query gave 0 (no argument, none with "#").
int QueryEachHashPattern(const platform::Platform& platform, char** arguments, int count,
                         PatternQuery query);

// Runs the command named by the first entry of the argument table with the entries after it.
// An empty table gives 0. An unrecognised verb, or a verb followed by fewer arguments than it
// needs, writes the usage text and ends the process with 1.
common::CommandResult DispatchCommand(const platform::Platform& platform, char** entries,
                                      int count);

}  // namespace mordelt
