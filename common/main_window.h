#pragma once

#include <windows.h>

namespace common {

// The main window's procedure, which the shell registers with the window class: paints string
// 106 of the program's module, shows the About box for command 104, destroys the window for
// command 105, posts the quit message when it is destroyed.
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The About box's procedure: OK and Cancel end it with their id.
INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

}  // namespace common
