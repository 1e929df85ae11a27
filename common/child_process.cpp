#include "common/child_process.h"

#include <cstdint>
#include <cstring>

#include "platform/memory.h"
#include "platform/processes.h"
#include "platform/window_system.h"

namespace common {
namespace {

// A writable heap copy of `text`, exactly its length + 1 bytes; empty when the heap refuses.
platform::HeapBlock CopyToHeap(platform::Memory& memory, const char* text) {
  const std::size_t bytes = std::strlen(text) + 1;
  platform::HeapBlock copy = platform::AllocateBlock(memory, bytes);
  if (copy) std::memcpy(copy.as<char>(), text, bytes);
  return copy;
}

// Waits until `process` has ended, answering meanwhile every message that reaches the thread: a
// child that sends to the main window without a time-out (a broadcast, a DDE conversation, an
// installer's custom action) waits for the answer, and without it the two would wait for each
// other for ever. The main window meanwhile carries out no menu command (IgnoresMessage), so no
// answer enters a modal loop that would outlive the child. A quit message is dropped. A wait that
// fails ends the wait, as if the child had ended; it is never retried, so it cannot spin.
void AwaitAnsweringMessages(platform::WindowSystem& windows, platform::ObjectHandle process) {
  for (;;) {
    // The wait wakes only for input that the thread has not seen: empty the queue first.
    platform::WindowMessage message;
    while (windows.PeekMessageA(&message, platform::kRemoveMessage)) {
      if (message.message != platform::kQuitMessage) windows.DispatchMessageA(message);
    }
    const std::uint32_t woken =
        windows.MsgWaitForMultipleObjects(process, platform::kInfinite, platform::kAllInput);
    if (woken != platform::kWaitObject0 + 1) return;
  }
}

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
      applicationCopy.as<char>(), commandCopy.as<char>(), false,
      platform::kCreateNoWindow | platform::kDetachedProcess, &startup, &information));
  platform::UniqueObjectHandle thread(platform.processes, information.hThread);
  platform::UniqueObjectHandle process(platform.processes, information.hProcess);
  if (!process) return RunOutcome::NotStarted;

  AwaitAnsweringMessages(platform.windows, process.get());
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

}  // namespace common
