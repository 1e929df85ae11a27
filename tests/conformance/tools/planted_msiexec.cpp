// A harmless stand-in for msiexec.exe that a test puts beside setup.exe and
// into the current directory: when started, it only leaves a marker file in
// its current directory, so the test can tell whether it ran.
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  HANDLE marker = CreateFileA("planted-msiexec-ran.txt", GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (marker != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(marker, "ran\r\n", 5, &written, nullptr);
    CloseHandle(marker);
  }
  return 0;
}
