#include "platform/window_system.h"

#include <windows.h>

#include <cstddef>

#include "platform/win32/platform.h"

namespace platform::win32 {
namespace {

// Messages cross to the system unchanged, so their layout must be the system's.
static_assert(sizeof(WindowMessage) == sizeof(MSG), "message layout");
static_assert(offsetof(WindowMessage, lParam) == offsetof(MSG, lParam), "layout");
static_assert(offsetof(WindowMessage, time) == offsetof(MSG, time), "layout");
static_assert(offsetof(WindowMessage, x) == offsetof(MSG, pt), "layout");
static_assert((QS_ALLINPUT & kAllInput) == kAllInput, "kAllInput is part of QS_ALLINPUT");
static_assert(PM_REMOVE == kRemoveMessage && WM_QUIT == kQuitMessage, "message constants");
static_assert(WAIT_OBJECT_0 == kWaitObject0 && WAIT_FAILED == kWaitFailed, "wait answers");
static_assert(WM_CONTEXTMENU == kContextMenuMessage && WM_NCLBUTTONDOWN == kFrameLeftButtonDown &&
                  WM_NCLBUTTONDBLCLK == kFrameLeftButtonDoubleClick &&
                  WM_NCRBUTTONDOWN == kFrameRightButtonDown &&
                  WM_NCRBUTTONUP == kFrameRightButtonUp && WM_COMMAND == kCommandMessage &&
                  WM_SYSCOMMAND == kSystemCommandMessage,
              "messages held while a command runs");

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

  bool PeekMessageA(WindowMessage* message, std::uint32_t removeFlags) override {
    return ::PeekMessageA(reinterpret_cast<MSG*>(message), nullptr, 0, 0, removeFlags) != 0;
  }

  std::intptr_t DispatchMessageA(const WindowMessage& message) override {
    return ::DispatchMessageA(reinterpret_cast<const MSG*>(&message));
  }

  std::uint32_t MsgWaitForMultipleObjects(ObjectHandle object, std::uint32_t milliseconds,
                                          std::uint32_t wakeMask) override {
    HANDLE handle = reinterpret_cast<HANDLE>(object);
    return ::MsgWaitForMultipleObjects(1, &handle, FALSE, milliseconds, wakeMask);
  }
};

}  // namespace

WindowSystem& Win32WindowSystem() {
  static User32 windows;
  return windows;
}

}  // namespace platform::win32
