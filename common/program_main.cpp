#include "common/program_main.h"

#include <cstdlib>

#include "common/command_line.h"
#include "common/main_window.h"
#include "platform/win32/platform.h"

namespace common {
namespace {

// Where SetDefaultDllDirectories is missing (Windows 7 without KB2533623), only the current
// directory is taken out of the search.
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

}  // namespace

int ProgramMain(HINSTANCE instance, int showState, const ProgramDefinition& program) {
  RestrictDllSearchToSystemDirectory();
  ShellState& shell = ProcessShell();
  shell.windowProcedure = reinterpret_cast<platform::WindowProcedure>(MainWindowProc);
  const platform::Platform& system = platform::win32::Win32Platform();
  const wchar_t* commandLine = GetCommandLineW();
  const CommandResult result =
      RunProgram(system, shell, reinterpret_cast<platform::InstanceHandle>(instance),
                 commandLine != nullptr ? commandLine : L"", showState, program);
  if (result.ending == Ending::ExitProcess) std::exit(result.exitCode);
  return result.exitCode;
}

}  // namespace common
