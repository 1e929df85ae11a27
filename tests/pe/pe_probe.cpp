// A windowed program that does nothing but return: the build that scripts/check-pe.sh must
// accept, and with DELAY_LOADED the same program with one function of cfgmgr32.dll (not a
// KnownDLL) delay-loaded, which it must refuse (tests/pe/check_pe_test.sh).
#include <windows.h>

#ifdef DELAY_LOADED
extern "C" __declspec(dllimport) WORD WINAPI CM_Get_Version();
#endif

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
#ifdef DELAY_LOADED
  return CM_Get_Version() == 0 ? 1 : 0;
#else
  return 0;
#endif
}
