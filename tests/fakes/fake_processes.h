#pragma once

#include "platform/processes.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// Placeholder until the child process runner is built: no process can be created.
class FakeProcesses final : public platform::Processes {
 public:
  explicit FakeProcesses(CallLog& log) : log_(log) {}
  int OpenHandles() const { return 0; }

  bool CreateProcessA(const char* application, char* commandLine, bool, std::uint32_t,
                      platform::StartupInfo*, platform::ProcessInformation*) override {
    log_.Record("CreateProcessA", Quote(application) + ", " + Quote(commandLine));
    return false;
  }
  std::uint32_t WaitForSingleObject(platform::ObjectHandle, std::uint32_t) override {
    return 0xFFFFFFFFu;
  }
  bool CloseHandle(platform::ObjectHandle) override { return false; }
  std::uint32_t GetSystemDirectoryA(char*, std::uint32_t) override { return 0; }

 private:
  CallLog& log_;
};

}  // namespace fakes
