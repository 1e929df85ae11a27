#include "common/app_shell.h"

#include <cwchar>

#include "common/command_line.h"
#include "common/resource_ids.h"

namespace common {
namespace {

// A command text without an exact form in the ANSI code page: no command runs.
CommandResult RefuseCommandText(platform::Console& console, const ProgramDefinition& program) {
  if (program.writeRefusal != nullptr) program.writeRefusal(console);
  return ExitWith(kExitFailure);
}

// The longest path the system gives, and its NUL.
constexpr std::uint32_t kLongestPath = 32768;

}  // namespace

bool IgnoresMessage(const ShellState& state, std::uint32_t message) {
  if (!state.commandRunning) return false;
  switch (message) {
    case platform::kCommandMessage:
    case platform::kSystemCommandMessage:
    case platform::kContextMenuMessage:
    case platform::kFrameLeftButtonDown:
    case platform::kFrameLeftButtonDoubleClick:
    case platform::kFrameRightButtonDown:
    case platform::kFrameRightButtonUp:
      return true;
    default:
      return false;
  }
}

void RegisterMainWindowClass(platform::WindowSystem& windows, platform::WindowProcedure procedure,
                             platform::InstanceHandle instance, const char* className) {
  platform::WindowClass windowClass;
  windowClass.style = platform::kClassStyleRedraw;
  windowClass.procedure = procedure;
  windowClass.classExtra = 0;
  windowClass.windowExtra = 0;
  windowClass.instance = instance;
  windowClass.iconId = IDI_LARGE_ICON;
  windowClass.smallIconId = IDI_SMALL_ICON;
  windowClass.cursorId = platform::kArrowCursor;
  windowClass.backgroundColor = platform::kColorWindowBrush;
  windowClass.menuId = IDR_MAIN_MENU;
  windowClass.className = className;
  windows.RegisterClassExA(windowClass);
}

bool CreateMainWindow(platform::WindowSystem& windows, ShellState& state,
                      platform::InstanceHandle instance, int /*showState*/) {
  state.instance = instance;
  platform::WindowCreation creation;
  creation.exStyle = 0;
  creation.className = state.className;
  creation.windowName = state.title;
  creation.style = platform::kOverlappedWindow;
  creation.x = platform::kUseDefault;
  creation.y = 0;
  creation.width = platform::kUseDefault;
  creation.height = 0;
  creation.instance = instance;
  platform::WindowHandle window = windows.CreateWindowExA(creation);
  if (window == nullptr) return false;
  windows.ShowWindow(window, platform::kShowHide);
  windows.UpdateWindow(window);
  return true;
}

CommandResult RunStartupSequence(const platform::Platform& platform, ShellState& state,
                                 platform::InstanceHandle instance, const char* commandLine,
                                 int showState, const ProgramDefinition& program) {
  // The argument table lives as long as the run; its entries are never released.
  char* table[kMaxTableCapacity] = {};
  const int capacity = program.capacity < kMaxTableCapacity ? program.capacity : kMaxTableCapacity;
  const SplitResult split =
      SplitCommandLine(platform.memory, platform.codePage, commandLine, program.delimiter,
                       program.rePrefix, program.delimiterPlace, table, capacity);

  platform.windows.LoadStringA(instance, IDS_APP_TITLE, state.title, kShellBufferSize);
  platform.windows.LoadStringA(instance, IDC_MAIN_CLASS, state.className, kShellBufferSize);
  RegisterMainWindowClass(platform.windows, state.windowProcedure, instance, state.className);
  // No command uses the window; when it cannot be created the command runs all the same.
  CreateMainWindow(platform.windows, state, instance, showState);
  platform.windows.LoadAcceleratorsA(instance, IDR_ACCELERATORS);

  switch (split.status) {
    case SplitStatus::Complete: {
      state.commandRunning = true;
      const CommandResult result = program.runCommand(platform, table, split.count);
      state.commandRunning = false;
      return result;
    }
    case SplitStatus::TooManyEntries:
      program.writeUsage(platform.console);
      return ExitWith(kExitFailure);
    case SplitStatus::OutOfMemory:
      break;
  }
  return ExitWith(kExitFailure);
}

CommandResult RunProgram(const platform::Platform& platform, ShellState& state,
                         platform::InstanceHandle instance, const wchar_t* commandLine,
                         int showState, const ProgramDefinition& program) {
  // The program's own path, or nothing when it cannot be read whole: a part of it could match a
  // longer name wrongly.
  wchar_t ownPath[kLongestPath];
  std::uint32_t ownLength = platform.processes.GetModuleFileNameW(ownPath, kLongestPath);
  if (ownLength >= kLongestPath) ownLength = 0;
  ownPath[ownLength] = L'\0';
  const wchar_t* text = SkipProgramName(platform.codePage, commandLine, ownPath);
  const std::size_t length = std::wcslen(text);
  if (length == 0) return RunStartupSequence(platform, state, instance, "", showState, program);

  // The bytes live until the command has ended; the entries are copies of their own.
  const platform::AnsiConversion needed = platform.codePage.WideToAnsi(text, length, nullptr, 0);
  if (!needed.exact) return RefuseCommandText(platform.console, program);
  const platform::HeapBlock block =
      platform::AllocateBlock(platform.memory, platform::CheckedSize(needed.bytes, 1, 1));
  if (!block) return ExitWith(kExitFailure);
  char* ansi = static_cast<char*>(block.get());
  const platform::AnsiConversion written =
      platform.codePage.WideToAnsi(text, length, ansi, needed.bytes);
  if (!written.exact || written.bytes != needed.bytes) {
    return RefuseCommandText(platform.console, program);
  }
  ansi[written.bytes] = '\0';
  return RunStartupSequence(platform, state, instance, ansi, showState, program);
}

}  // namespace common
