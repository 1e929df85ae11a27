#include "common/child_process.h"

#include <cstdint>
#include <cstring>

#include "platform/memory.h"
#include "platform/processes.h"

namespace common {
namespace {

constexpr std::size_t kNoSize = static_cast<std::size_t>(-1);

// A writable heap copy of `text`, exactly its length + 1 bytes; empty when the heap refuses.
platform::HeapBlock CopyToHeap(platform::Memory& memory, const char* text) {
  const std::size_t bytes = std::strlen(text) + 1;
  platform::HeapBlock copy = platform::HeapBlock::Allocate(memory, bytes);
  if (copy) std::memcpy(copy.chars(), text, bytes);
  return copy;
}

// a + b, or kNoSize when the sum does not fit.
std::size_t AddSizes(std::size_t a, std::size_t b) { return a > kNoSize - b ? kNoSize : a + b; }

}  // namespace

RunOutcome RunAndWait(const platform::Platform& platform, const char* applicationPath,
                      const char* commandLine) {
  platform::HeapBlock commandCopy = CopyToHeap(platform.memory, commandLine);
  if (!commandCopy) return RunOutcome::OutOfMemory;
  platform::HeapBlock applicationCopy;
  if (applicationPath != nullptr) {
    applicationCopy = CopyToHeap(platform.memory, applicationPath);
    if (!applicationCopy) return RunOutcome::OutOfMemory;
  }

  platform::ProcessInformation information;
  std::memset(&information, 0, sizeof information);
  platform::StartupInfo startup;
  std::memset(&startup, 0, sizeof startup);
  startup.cb = sizeof startup;

  // The call's own answer is not trusted: only a process handle shows that a child exists.
  static_cast<void>(platform.processes.CreateProcessA(
      applicationCopy.chars(), commandCopy.chars(), false,
      platform::kCreateNoWindow | platform::kDetachedProcess, &startup, &information));
  platform::UniqueObjectHandle thread(platform.processes, information.hThread);
  platform::UniqueObjectHandle process(platform.processes, information.hProcess);
  if (!process) return RunOutcome::NotStarted;

  platform.processes.WaitForSingleObject(process.get(), platform::kInfinite);
  process.reset();
  thread.reset();
  return RunOutcome::Finished;
}

std::optional<SystemProgramPath> FindSystemProgram(platform::Processes& processes,
                                                   const char* fileName) {
  const std::size_t nameLength = std::strlen(fileName);
  if (nameLength > SystemProgramPath::kMaxFileName) return std::nullopt;
  SystemProgramPath path;
  const std::uint32_t length = processes.GetSystemDirectoryA(path.text, platform::kMaxPath);
  if (length == 0 || length >= platform::kMaxPath) return std::nullopt;
  std::memcpy(path.text + length, fileName, nameLength + 1);
  return path;
}

std::size_t ToolCommandLineBytes(std::size_t firstLength, std::size_t secondLength) {
  // " " first " \"" second "\"" and the terminating zero.
  return AddSizes(AddSizes(firstLength, secondLength), 5);
}

int RunTool(const platform::Platform& platform, const char* toolPath, const char* firstArgument,
            const char* secondArgument) {
  const std::size_t firstLength = std::strlen(firstArgument);
  const std::size_t secondLength = std::strlen(secondArgument);
  platform::HeapBlock commandLine = platform::HeapBlock::Allocate(
      platform.memory, ToolCommandLineBytes(firstLength, secondLength));
  if (!commandLine) return 1;

  char* out = commandLine.chars();
  *out++ = ' ';
  std::memcpy(out, firstArgument, firstLength);
  out += firstLength;
  *out++ = ' ';
  *out++ = '"';
  std::memcpy(out, secondArgument, secondLength);
  out += secondLength;
  *out++ = '"';
  *out = '\0';

  switch (RunAndWait(platform, toolPath, commandLine.chars())) {
    case RunOutcome::Finished:
      return 0;
    case RunOutcome::NotStarted:
    case RunOutcome::OutOfMemory:
      break;
  }
  return 1;
}

}  // namespace common
