#include <windows.h>

#include <cstdlib>

#include "common/app_shell.h"
#include "platform/win32/win32_platform.h"
#include "setup/launch_sequence.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE /*previous*/, LPSTR commandLine, int showState) {
  static common::ShellState shell;
  const common::CommandResult result = common::RunStartupSequence(
      platform::win32::Win32Platform(), shell, reinterpret_cast<platform::InstanceHandle>(instance),
      commandLine, showState, setup::kSetupProgram);
  if (result.ending == common::Ending::ExitProcess) std::exit(result.exitCode);
  return result.exitCode;
}
