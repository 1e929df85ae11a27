#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/processes.h"
#include "platform/system_error.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// What one CreateProcessA call was given, copied at the time of the call.
struct ProcessCreation {
  std::optional<std::string> applicationName;  // nothing for a null application name
  std::string commandLine;
  bool inheritHandles = false;
  std::uint32_t creationFlags = 0;
  std::vector<unsigned char> startupBytes;  // the start-up record, byte for byte
  bool created = false;                     // whether a child was simulated
};

// Processes as the tests see them. CreateProcessA ("CreateProcessA" in the log) simulates a
// child that has already ended with `childExitCode`: it hands out a process and a thread handle
// that stay open until closed. A planned fault refuses the creation (FALSE, no handles, the
// planned error as last error; ERROR_FILE_NOT_FOUND by default). GetSystemDirectoryA answers
// with `systemDirectory` by the system's rules, or 0 when it fails. GetModuleFileNameW answers
// with `modulePath` as Windows does: cut to the buffer's size with its NUL when it is too long.
class FakeProcesses final : public platform::Processes {
 public:
  explicit FakeProcesses(CallLog& log) : log_(log) {}

  bool CreateProcessA(const char* applicationName, char* commandLine, bool inheritHandles,
                      std::uint32_t creationFlags, platform::StartupInfo* startup,
                      platform::ProcessInformation* information) override;
  bool CloseHandle(platform::ObjectHandle object) override;
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override;
  std::uint32_t GetModuleFileNameW(wchar_t* buffer, std::uint32_t size) override;

  // Process and thread handles handed out and not closed yet.
  int OpenHandles() const { return static_cast<int>(processes_.size() + threads_.size()); }
  int OpenProcessHandles() const { return static_cast<int>(processes_.size()); }
  int OpenThreadHandles() const { return static_cast<int>(threads_.size()); }
  // Whether `object` is a process handle (true) or a thread handle (false) that was handed out.
  bool IsProcessHandle(platform::ObjectHandle object) const { return processes_.count(object); }

  // Configuration.
  std::uint32_t childExitCode = 0;
  std::string systemDirectory = "C:\\windows\\system32";
  std::wstring modulePath = L"C:\\Program Files\\Tools\\M.exe";
  // When set, CreateProcessA answers this whatever it did (to show that callers look at the
  // process handle, not at the answer).
  std::optional<bool> forcedAnswer;
  // Runs during CreateProcessA, while the texts it was given are still the caller's; stands for
  // what the child does.
  std::function<void(const char* applicationName, const char* commandLine)> child;

  // What was seen.
  std::vector<ProcessCreation> creations;
  std::vector<std::string> closedKinds;  // "process" or "thread", in the order of CloseHandle
  int badCloses = 0;                     // CloseHandle of a handle that is not open
  std::uint32_t lastError = 0;

 private:
  platform::ObjectHandle NewHandle();

  CallLog& log_;
  std::set<platform::ObjectHandle> processes_;
  std::set<platform::ObjectHandle> threads_;
  std::uintptr_t nextHandle_ = 0x100;
};

}  // namespace fakes
