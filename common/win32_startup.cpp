#include "common/win32_startup.h"

#include <windows.h>

#include "common/command_line.h"

namespace common {

void RestrictDllSearchToSystemDirectory() {
  // Looked up at run time: a static import would keep the programs from starting where the
  // function is missing.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
  const FARPROC found =
      kernel32 != nullptr ? GetProcAddress(kernel32, "SetDefaultDllDirectories") : nullptr;
  if (found != nullptr) {
    const auto setDefaultDllDirectories =
        reinterpret_cast<SetDefaultDllDirectoriesFunction>(reinterpret_cast<void (*)()>(found));
    if (setDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) return;
  }
  SetDllDirectoryA("");
}

const char* ProcessCommandText(const platform::CodePage& codePage) {
  const char* commandLine = GetCommandLineA();
  return SkipProgramName(codePage, commandLine != nullptr ? commandLine : "");
}

}  // namespace common
