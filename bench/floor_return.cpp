// Start-up floor: a windowed program, statically linked like Mordelt.exe, that does nothing but
// return 0. Its start-up time is what any such program pays before its first instruction.
#include <windows.h>

int WINAPI WinMain(HINSTANCE /*instance*/, HINSTANCE /*previous*/, LPSTR /*commandLine*/,
                   int /*showState*/) {
  return 0;
}
