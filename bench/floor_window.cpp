// Start-up floor with a window: a windowed program, statically linked like Mordelt.exe, that
// registers a window class and creates the same hidden main window (overlapped style, default
// position, hidden and updated once), then returns 0. Under Wine the window alone costs far
// more than the rest of a command.
#include <windows.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*showState*/) {
  WNDCLASSEXA windowClass = {};
  windowClass.cbSize = sizeof windowClass;
  windowClass.style = CS_HREDRAW | CS_VREDRAW;
  windowClass.lpfnWndProc = DefWindowProcA;
  windowClass.hInstance = instance;
  windowClass.hIcon = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hIconSm = LoadIconA(nullptr, IDI_APPLICATION);
  windowClass.hCursor = LoadCursorA(nullptr, IDC_ARROW);
  windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  windowClass.lpszClassName = "FLOORWINDOW";
  RegisterClassExA(&windowClass);
  HWND window = CreateWindowExA(0, "FLOORWINDOW", "floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  if (window != nullptr) {
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
  }
  return 0;
}
