#include "common/main_window.h"

#include "common/resource_ids.h"

namespace common {

ShellState& ProcessShell() {
  static ShellState shell;
  return shell;
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  // Sent messages reach this procedure inside the wait's PeekMessage, posted ones through its
  // DispatchMessage: the answer is given here, for both.
  if (IgnoresMessage(ProcessShell(), message)) return 0;
  const HINSTANCE module = GetModuleHandleA(nullptr);
  char hello[100];
  LoadStringA(module, IDS_HELLO, hello, sizeof hello);

  switch (message) {
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_ABOUT:
          DialogBoxParamA(module, MAKEINTRESOURCEA(IDD_ABOUTBOX), window, AboutDialogProc, 0);
          return 0;
        case IDM_EXIT:
          DestroyWindow(window);
          return 0;
        default:
          return DefWindowProcA(window, message, wParam, lParam);
      }
    case WM_PAINT: {
      PAINTSTRUCT paint;
      HDC dc = BeginPaint(window, &paint);
      RECT client;
      GetClientRect(window, &client);
      DrawTextA(dc, hello, lstrlenA(hello), &client, DT_CENTER);
      EndPaint(window, &paint);
      return 0;
    }
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM /*lParam*/) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(dialog, LOWORD(wParam));
        return TRUE;
      }
      break;
    default:
      break;
  }
  return FALSE;
}

}  // namespace common
