#pragma once

#include <cstddef>

#include "platform/platform.h"

namespace mordelt {

// "-importreg": runs the system directory's reg.exe with the command line ` operation "file"`
// and waits for it. Returns 0 when reg.exe ran, whatever its own exit code; 1 when the system
// directory cannot be read, reg.exe could not be started, or memory ran out. Writes nothing.
[[nodiscard]] int ImportRegistryFile(const platform::Platform& platform, const char* operation,
                                     const char* fileName);

// Runs the program `toolPath` with the command line ` first "second"` (a blank, the first
// argument, a blank, the second argument in quotation marks) and waits for it. Returns 0 when
// the tool ran, whatever its exit code; 1 when it could not be started or memory ran out.
[[nodiscard]] int RunTool(const platform::Platform& platform, const char* toolPath,
                          const char* firstArgument, const char* secondArgument);

// The bytes, terminating zero included, of the command line that RunTool builds from arguments
// of these lengths; the largest size_t (which no heap can give) when that does not fit.
std::size_t ToolCommandLineBytes(std::size_t firstLength, std::size_t secondLength);

}  // namespace mordelt
