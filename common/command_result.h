#pragma once

namespace common {

// The exit codes both programs share: the command did what it was asked (or found nothing to
// do), or it was refused or could not be carried out.
constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;

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
