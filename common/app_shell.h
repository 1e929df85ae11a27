#pragma once

#include <cstdint>

#include "common/command_line.h"
#include "common/command_result.h"
#include "platform/platform.h"

namespace common {

// What distinguishes the two programs to the shared start-up sequence.
struct ProgramDefinition {
  // How the command line is cut into the argument table.
  char delimiter;
  bool rePrefix;
  DelimiterPlace delimiterPlace;
  int capacity;  // at most kMaxTableCapacity
  // The program's one command over the argument table.
  CommandResult (*runCommand)(const platform::Platform& platform, char** entries, int count);
  // The usage text, written when a command line holds more entries than the table.
  void (*writeUsage)(platform::Console& console);
  // Written when the command text has no exact form in the ANSI code page; null: nothing.
  void (*writeRefusal)(platform::Console& console) = nullptr;
};

constexpr int kMaxTableCapacity = 10;
constexpr int kShellBufferSize = 100;

// What the shell keeps for the whole run.
struct ShellState {
  platform::WindowProcedure windowProcedure = nullptr;  // the main window's procedure
  platform::InstanceHandle instance = nullptr;
  char title[kShellBufferSize] = {};
  char className[kShellBufferSize] = {};
  // From just before the program's command until it has ended.
  bool commandRunning = false;
};

// Whether the main window answers `message` with 0 and does nothing else. While a command runs,
// a menu command, a system command, the context menu or a mouse button on the frame could only
// come from another program (a child, a broadcast, anything on the same desktop), and each would
// start the About box, menu tracking, moving or sizing: a modal loop inside the wait for a child,
// which would outlive the child. Outside a command, none is.
bool IgnoresMessage(const ShellState& state, std::uint32_t message);

// Registers the main window class: redraw styles, the window procedure, the program's icons 107
// and 108, the arrow cursor, the window colour, menu 109 and the class name. The outcome is not
// examined.
void RegisterMainWindowClass(platform::WindowSystem& windows, platform::WindowProcedure procedure,
                             platform::InstanceHandle instance, const char* className);

// Stores the instance, creates the main window (overlapped style, never visible), hides it and
// updates it once. Returns false when no window was created.
bool CreateMainWindow(platform::WindowSystem& windows, ShellState& state,
                      platform::InstanceHandle instance, int showState);

// The start-up sequence of both programs: split the command line, load the title and class
// name, register the class, create the hidden main window, load the accelerators and run the
// command. The result says with which code and how the run ends.
//
// A command line with more entries than the table holds runs no command: the usage text is
// written and the code is 1; so is a command line whose entries cannot be stored (no text).
// A main window that cannot be created is not needed by any command: the command still runs.
CommandResult RunStartupSequence(const platform::Platform& platform, ShellState& state,
                                 platform::InstanceHandle instance, const char* commandLine,
                                 int showState, const ProgramDefinition& program);

// The whole run from the process's command line as the system keeps it (wide): the program name
// and the blanks and tabs after it are skipped (SkipProgramName, which knows the program's own
// path when it can be read whole), the rest is converted to the ANSI code page and the start-up
// sequence runs on those bytes. The program name is never converted. A text that has no exact form
// in the code page (a character that would become a look-alike or "?") is refused before anything
// else is done: the program's refusal text is written and the code is 1; so is a text that cannot
// be converted for want of memory (no text).
CommandResult RunProgram(const platform::Platform& platform, ShellState& state,
                         platform::InstanceHandle instance, const wchar_t* commandLine,
                         int showState, const ProgramDefinition& program);

}  // namespace common
