// A stand-in for a system program (reg.exe, msiexec.exe) that sends to its parent's window as a
// broadcast, a DDE conversation or a custom action would: it finds the top-level window of the
// class of Mordelt or setup ("TAVRIX" or "SETUP") that belongs to the process that started it,
// hands it one message, and ends.
//
// The message comes from the environment variable WINDOW_SENDER_MESSAGE, "post MESSAGE WPARAM"
// or "send MESSAGE WPARAM" in decimal (lParam 0). A posted message is left a second to be taken
// before this program ends; a sent one waits up to two seconds for the answer. Without the
// variable it sends WM_NULL without a time-out, which returns only once the window's thread has
// answered, so the parent must take messages while it waits for this program.
//
// It leaves a marker, window-sender.txt, in its current directory (the caller's): "answered"
// when the send returned and the window still exists, "posted" when the post succeeded, "not
// answered" when the send timed out, "no window" when none was found, "gone" when the window
// went away instead of answering. Its command line is not looked at.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

#include <cstdlib>
#include <cstring>

namespace {

DWORD ParentProcessId() {
  const DWORD self = GetCurrentProcessId();
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return 0;
  PROCESSENTRY32 entry = {};
  entry.dwSize = sizeof entry;
  DWORD parent = 0;
  for (BOOL more = Process32First(snapshot, &entry); more; more = Process32Next(snapshot, &entry)) {
    if (entry.th32ProcessID == self) parent = entry.th32ParentProcessID;
  }
  CloseHandle(snapshot);
  return parent;
}

struct Search {
  DWORD processId = 0;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM parameter) {
  Search& search = *reinterpret_cast<Search*>(parameter);
  char name[64] = {};
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  if (owner != search.processId || GetClassNameA(window, name, sizeof name) == 0) return TRUE;
  if (std::strcmp(name, "TAVRIX") != 0 && std::strcmp(name, "SETUP") != 0) return TRUE;
  search.found = window;
  return FALSE;
}

void LeaveMarker(const char* text) {
  HANDLE marker = CreateFileA("window-sender.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(marker, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  CloseHandle(marker);
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Search search;
  search.processId = ParentProcessId();
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&search));
  if (search.found == nullptr) {
    LeaveMarker("no window");
    return 3;
  }
  char asked[64] = {};
  const DWORD length = GetEnvironmentVariableA("WINDOW_SENDER_MESSAGE", asked, sizeof asked);
  if (length == 0 || length >= sizeof asked) {
    SendMessageA(search.found, WM_NULL, 0, 0);
    LeaveMarker(IsWindow(search.found) ? "answered" : "gone");
    return 0;
  }
  char* rest = nullptr;
  const UINT message = static_cast<UINT>(std::strtoul(asked + 5, &rest, 10));
  const WPARAM wParam = static_cast<WPARAM>(std::strtoul(rest, nullptr, 10));
  if (std::strncmp(asked, "post ", 5) == 0) {
    const BOOL posted = PostMessageA(search.found, message, wParam, 0);
    Sleep(1000);
    LeaveMarker(posted ? "posted" : "not posted");
    return 0;
  }
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutA(search.found, message, wParam, 0, SMTO_NORMAL, 2000, &answer) == 0) {
    LeaveMarker("not answered");
  } else {
    LeaveMarker(IsWindow(search.found) ? "answered" : "gone");
  }
  return 0;
}
