#pragma once

#include <windows.h>

#include "common/app_shell.h"

namespace common {

// The whole run of either program, from its WinMain. DLLs that the process loads by name from
// then on (user32 loads uxtheme.dll when the main window is created) come from the system
// directory only, never from the program's folder or the current directory; the program runs
// from GetCommandLineW (RunProgram), never from the 8-bit command line, whose best-fit
// conversion turns characters that the ANSI code page lacks into look-alikes of quotes, "*" and
// "-"; the start-up sequence runs with the main window procedure. Returns the exit code, or ends
// the process with it when the result says so.
int ProgramMain(HINSTANCE instance, int showState, const ProgramDefinition& program);

}  // namespace common
