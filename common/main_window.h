#pragma once

#include <windows.h>

#include "common/app_shell.h"

namespace common {

// The shell of the process, which ProgramMain runs and the main window consults.
ShellState& ProcessShell();

// The main window's procedure, which the shell registers with the window class: while a command
// runs, answers the messages that could start a modal loop with 0 (IgnoresMessage); otherwise
// paints string 106 of the program's module, shows the About box for command 104, destroys the
// window for command 105, posts the quit message when it is destroyed.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The About box's procedure: OK and Cancel end it with their id.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace common
