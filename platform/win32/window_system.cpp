#include "platform/window_system.h"

#include <windows.h>

#include "platform/win32/platform.h"

namespace platform::win32 {
namespace {

HINSTANCE ToInstance(InstanceHandle instance) { return reinterpret_cast<HINSTANCE>(instance); }
HWND ToWindow(WindowHandle window) { return reinterpret_cast<HWND>(window); }

class User32 final : public WindowSystem {
 public:
  int LoadStringA(InstanceHandle instance, unsigned id, char* buffer, int size) override {
    return ::LoadStringA(ToInstance(instance), id, buffer, size);
  }

  bool RegisterClassExA(const WindowClass& windowClass) override {
    HINSTANCE instance = ToInstance(windowClass.instance);
    WNDCLASSEXA record = {};
    record.cbSize = sizeof record;
    record.style = windowClass.style;
    record.lpfnWndProc = reinterpret_cast<WNDPROC>(windowClass.procedure);
    record.cbClsExtra = windowClass.classExtra;
    record.cbWndExtra = windowClass.windowExtra;
    record.hInstance = instance;
    record.hIcon = ::LoadIconA(instance, MAKEINTRESOURCEA(windowClass.iconId));
    record.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(windowClass.cursorId));
    record.hbrBackground =
        reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(windowClass.backgroundColor));
    record.lpszMenuName = MAKEINTRESOURCEA(windowClass.menuId);
    record.lpszClassName = windowClass.className;
    record.hIconSm = ::LoadIconA(instance, MAKEINTRESOURCEA(windowClass.smallIconId));
    return ::RegisterClassExA(&record) != 0;
  }

  WindowHandle CreateWindowExA(const WindowCreation& creation) override {
    HWND window =
        ::CreateWindowExA(creation.exStyle, creation.className, creation.windowName, creation.style,
                          creation.x, creation.y, creation.width, creation.height, nullptr, nullptr,
                          ToInstance(creation.instance), nullptr);
    return reinterpret_cast<WindowHandle>(window);
  }

  bool ShowWindow(WindowHandle window, int showCommand) override {
    return ::ShowWindow(ToWindow(window), showCommand) != 0;
  }

  bool UpdateWindow(WindowHandle window) override { return ::UpdateWindow(ToWindow(window)) != 0; }

  AcceleratorsHandle LoadAcceleratorsA(InstanceHandle instance, unsigned id) override {
    return reinterpret_cast<AcceleratorsHandle>(
        ::LoadAcceleratorsA(ToInstance(instance), MAKEINTRESOURCEA(id)));
  }
};

}  // namespace

WindowSystem& Win32WindowSystem() {
  static User32 windows;
  return windows;
}

}  // namespace platform::win32
