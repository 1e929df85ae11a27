#pragma once

namespace common {

// How a program's command ends the run: by returning its code from the entry point, or by
// ending the process at once through the C runtime's exit with that code.
enum class Ending { Return, ExitProcess };

struct CommandResult {
  int exitCode;
  Ending ending;
};

inline CommandResult ReturnCode(int code) { return {code, Ending::Return}; }
inline CommandResult ExitWith(int code) { return {code, Ending::ExitProcess}; }

}  // namespace common
