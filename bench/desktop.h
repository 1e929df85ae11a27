#pragma once

#include <windows.h>

namespace bench {

// Under Wine the first window of a prefix starts Wine's desktop process (explorer.exe), which
// ends again about 2.5 s after the last window is gone; on Windows the desktop always exists. A
// benchmark that starts windowed programs keeps a hidden window of its own for the whole
// measurement, so that no run pays for starting the desktop and every run measures the same.
inline HWND HoldDesktop() {
  return CreateWindowExA(0, "STATIC", "bench", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0, CW_USEDEFAULT,
                         0, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
}

// Under Wine a windowed program's end goes on after its process has ended (the desktop process
// takes down its windows); a run started at once overlaps it and may take several times as long.
// Each timed run is started after this pause.
constexpr DWORD kSettleMilliseconds = 100;

}  // namespace bench
