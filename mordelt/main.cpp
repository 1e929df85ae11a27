#include <windows.h>

#include <cstdlib>

#include "common/app_shell.h"
#include "common/win32_startup.h"
#include "mordelt/dispatcher.h"
#include "platform/win32/win32_platform.h"

// The command-line text is read from GetCommandLineA: the runtime's lpCmdLine loses text after
// a program path with bytes of 0x80 and above.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR /*runtimeText*/,
                   int showState) {
  common::RestrictDllSearchToSystemDirectory();
  static common::ShellState shell;
  const platform::Platform& system = platform::win32::Win32Platform();
  const common::CommandResult result = common::RunStartupSequence(
      system, shell, reinterpret_cast<platform::InstanceHandle>(instance),
      common::ProcessCommandText(system.codePage), showState, mordelt::kMordeltProgram);
  if (result.ending == common::Ending::ExitProcess) std::exit(result.exitCode);
  return result.exitCode;
}
