#pragma once

#include <cstdint>

#include "platform/processes.h"

namespace platform {

// Opaque handles of the window system: a module instance (HINSTANCE), a window (HWND) and an
// accelerator table (HACCEL).
struct InstanceTag;
using InstanceHandle = InstanceTag*;
struct WindowTag;
using WindowHandle = WindowTag*;
struct AcceleratorsTag;
using AcceleratorsHandle = AcceleratorsTag*;
// A window procedure (WNDPROC), held as a function pointer of no particular type: the window
// system calls it with its own calling convention.
using WindowProcedure = void (*)();

constexpr std::uint32_t kClassStyleRedraw = 0x0003;         // CS_HREDRAW | CS_VREDRAW
constexpr std::uint32_t kOverlappedWindow = 0x00CF0000u;    // WS_OVERLAPPEDWINDOW
constexpr int kUseDefault = static_cast<int>(0x80000000u);  // CW_USEDEFAULT
constexpr int kColorWindowBrush = 6;                        // COLOR_WINDOW + 1
constexpr unsigned kArrowCursor = 32512;                    // IDC_ARROW
constexpr int kShowHide = 0;                                // SW_HIDE
constexpr std::uint32_t kRemoveMessage = 0x0001;            // PM_REMOVE
constexpr std::uint32_t kQuitMessage = 0x0012;              // WM_QUIT
// The messages that start menu commands, menus and the frame's modal loops.
constexpr std::uint32_t kContextMenuMessage = 0x007B;          // WM_CONTEXTMENU
constexpr std::uint32_t kFrameLeftButtonDown = 0x00A1;         // WM_NCLBUTTONDOWN
constexpr std::uint32_t kFrameLeftButtonDoubleClick = 0x00A3;  // WM_NCLBUTTONDBLCLK
constexpr std::uint32_t kFrameRightButtonDown = 0x00A4;        // WM_NCRBUTTONDOWN
constexpr std::uint32_t kFrameRightButtonUp = 0x00A5;          // WM_NCRBUTTONUP
constexpr std::uint32_t kCommandMessage = 0x0111;              // WM_COMMAND
constexpr std::uint32_t kSystemCommandMessage = 0x0112;        // WM_SYSCOMMAND
// QS_ALLINPUT as every Windows since 7 knows it (later headers add bits that Windows 7 refuses).
constexpr std::uint32_t kAllInput = 0x04FF;
constexpr std::uint32_t kWaitObject0 = 0x00000000u;  // WAIT_OBJECT_0
constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;   // WAIT_FAILED

// The main window class (WNDCLASSEXA), with resources named by their ids.
struct WindowClass {
  std::uint32_t style = 0;
  WindowProcedure procedure = nullptr;
  int classExtra = 0;
  int windowExtra = 0;
  InstanceHandle instance = nullptr;
  unsigned iconId = 0;       // LoadIconA(instance, iconId)
  unsigned smallIconId = 0;  // LoadIconA(instance, smallIconId)
  unsigned cursorId = 0;     // LoadCursorA(no instance, cursorId)
  int backgroundColor = 0;   // a system colour value + 1
  unsigned menuId = 0;
  const char* className = nullptr;
};

// A window to create (the parameters of CreateWindowExA).
struct WindowCreation {
  std::uint32_t exStyle = 0;
  const char* className = nullptr;
  const char* windowName = nullptr;
  std::uint32_t style = 0;
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
  InstanceHandle instance = nullptr;
};

// A message taken from the thread's queue, laid out as the system's MSG; the Windows layer hands
// it over unchanged.
struct WindowMessage {
  WindowHandle window;
  std::uint32_t message;
  std::uintptr_t wParam;
  std::intptr_t lParam;
  std::uint32_t time;
  std::int32_t x;  // the cursor position when the message was posted
  std::int32_t y;
};

// The window system (user32, 8-bit forms), as far as the start-up sequence and the wait for a
// child use it.
class WindowSystem {
 public:
  virtual ~WindowSystem() = default;
  virtual int LoadStringA(InstanceHandle instance, unsigned id, char* buffer, int size) = 0;
  virtual bool RegisterClassExA(const WindowClass& windowClass) = 0;
  // No parent, no menu of its own (the class menu applies), no creation data.
  virtual WindowHandle CreateWindowExA(const WindowCreation& creation) = 0;
  virtual bool ShowWindow(WindowHandle window, int showCommand) = 0;
  virtual bool UpdateWindow(WindowHandle window) = 0;
  virtual AcceleratorsHandle LoadAcceleratorsA(InstanceHandle instance, unsigned id) = 0;
  // PeekMessageA(message, every window of the thread, every message, removeFlags): true when a
  // message was taken. Messages sent to the thread's windows by other threads are answered
  // within the call, whatever it returns.
  virtual bool PeekMessageA(WindowMessage* message, std::uint32_t removeFlags) = 0;
  // DispatchMessageA: the window procedure's result.
  virtual std::intptr_t DispatchMessageA(const WindowMessage& message) = 0;
  // MsgWaitForMultipleObjects(1, &object, FALSE, milliseconds, wakeMask): kWaitObject0 when the
  // object is signalled, kWaitObject0 + 1 when input of `wakeMask` has arrived that the thread
  // has not yet seen (messages left in the queue do not wake it), kWaitFailed on failure.
  virtual std::uint32_t MsgWaitForMultipleObjects(ObjectHandle object, std::uint32_t milliseconds,
                                                  std::uint32_t wakeMask) = 0;
};

}  // namespace platform
