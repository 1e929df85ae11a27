// A stand-in for a system program (reg.exe, msiexec.exe) that sends to its parent's window as a
// broadcast, a DDE conversation or a custom action would: it finds the top-level window of the
// class of Mordelt or setup ("TAVRIX" or "SETUP") that belongs to the process that started it,
// sends it WM_NULL without a time-out, and ends. The send returns only once the window's
// thread has answered, so the parent must take messages while it waits for this program.
//
// It leaves a marker, window-sender.txt, in its current directory (the caller's): "answered"
// when the send returned and the window still exists, "no window" when none was found, "gone"
// when the window went away instead of answering. Its command line is not looked at.
#include <windows.h>
// After windows.h, which it needs.
#include <tlhelp32.h>

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
  SendMessageA(search.found, WM_NULL, 0, 0);
  LeaveMarker(IsWindow(search.found) ? "answered" : "gone");
  return 0;
}
