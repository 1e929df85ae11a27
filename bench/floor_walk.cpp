// Floor of "-hwid" with a pattern that matches nothing: the window floor (bench/floor_window.cpp)
// and then the same walk of the device tree, written directly against SetupAPI, in one windowed,
// statically linked program. Returns 4 when no device matched, as Mordelt does, 0 when one did
// and 2 when the device list cannot be made.
#include <windows.h>

#include "bench/device_walk.h"

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
  windowClass.lpszClassName = "FLOORWALK";
  RegisterClassExA(&windowClass);
  HWND window = CreateWindowExA(0, "FLOORWALK", "floor", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                CW_USEDEFAULT, 0, nullptr, nullptr, instance, nullptr);
  if (window != nullptr) {
    ShowWindow(window, SW_HIDE);
    UpdateWindow(window);
  }
  bool matched = false;
  const int walked = bench::WalkPresentDevices(bench::NoSuchDeviceTail(), &matched);
  if (walked < 0) return 2;
  return matched ? 0 : 4;
}
