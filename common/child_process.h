#pragma once

#include <cstddef>
#include <optional>

#include "platform/files.h"
#include "platform/platform.h"

namespace common {

// What became of a child program that was to be started and awaited.
enum class RunOutcome {
  Finished,     // a child process was created and has ended (or the wait failed), whatever its exit
                // code
  NotStarted,   // the system created no process
  OutOfMemory,  // a writable copy of a text could not be made; nothing was started
};

// Starts a child program with no window, no console, no inherited handles, the caller's
// environment and current directory, and waits without a time limit until it has ended (or the
// wait fails), answering meanwhile the messages that reach the thread; a quit message among them
// is dropped.
// `applicationPath` names the program file, or is null to let the system take the program from
// the first word of `commandLine`. Both texts are handed over as heap copies of exactly their
// length + 1 bytes (command line first), released before the call returns; both process handles
// are closed. Writes nothing.
[[nodiscard]] RunOutcome RunAndWait(const platform::Platform& platform, const char* applicationPath,
                                    const char* commandLine);

// The path of a program file in the system directory.
struct SystemProgramPath {
  static constexpr std::size_t kMaxFileName = 15;  // the longest file name, backslash included
  char text[platform::kMaxPath + kMaxFileName];
};

// The system directory, as GetSystemDirectoryA gives it, followed by `fileName` (a backslash and
// the program's file name, such as "\\reg.exe"). Nothing when the system directory cannot be
// read, or is kMaxPath characters or longer, or `fileName` is longer than kMaxFileName. Programs
// are only ever started from there, so that none can be planted in their place elsewhere.
std::optional<SystemProgramPath> FindSystemProgram(platform::Processes& processes,
                                                   const char* fileName);

}  // namespace common
