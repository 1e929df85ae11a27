#include "mordelt/import_registry_file.h"

#include <cstring>
#include <optional>

#include "common/child_process.h"
#include "mordelt/exit_codes.h"
#include "platform/memory.h"

namespace mordelt {

int ImportRegistryFile(const platform::Platform& platform, const char* operation,
                       const char* fileName) {
  // A system directory that cannot be read ends the command as a reg.exe that cannot start does.
  const std::optional<common::SystemProgramPath> regTool =
      common::FindSystemProgram(platform.processes, "\\reg.exe");
  if (!regTool) return kExitFailure;
  return RunTool(platform, regTool->text, operation, fileName);
}

int RunTool(const platform::Platform& platform, const char* toolPath, const char* firstArgument,
            const char* secondArgument) {
  const std::size_t firstLength = std::strlen(firstArgument);
  const std::size_t secondLength = std::strlen(secondArgument);
  platform::HeapBlock commandLine =
      platform::AllocateBlock(platform.memory, ToolCommandLineBytes(firstLength, secondLength));
  if (!commandLine) return kExitFailure;

  char* out = commandLine.as<char>();
  *out++ = ' ';
  std::memcpy(out, firstArgument, firstLength);
  out += firstLength;
  *out++ = ' ';
  *out++ = '"';
  std::memcpy(out, secondArgument, secondLength);
  out += secondLength;
  *out++ = '"';
  *out = '\0';

  const common::RunOutcome outcome = common::RunAndWait(platform, toolPath, commandLine.as<char>());
  return outcome == common::RunOutcome::Finished ? kExitSuccess : kExitFailure;
}

std::size_t ToolCommandLineBytes(std::size_t firstLength, std::size_t secondLength) {
  // " " first " \"" second "\"" and the terminating zero.
  return platform::CheckedSize(firstLength, 1, platform::CheckedSize(secondLength, 1, 5));
}

}  // namespace mordelt
