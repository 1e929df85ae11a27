// Does nothing and ends with 0: run first to tell whether this machine runs the
// architecture's code at all (scripts/wine10-run.sh, WINE10_PROBE).
#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) { return 0; }
