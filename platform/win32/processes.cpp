#include "platform/processes.h"

#include <windows.h>

#include <cstddef>

#include "platform/win32/platform.h"

namespace platform::win32 {
namespace {

// The records cross to the system unchanged, so their layout must be the system's.
static_assert(sizeof(StartupInfo) == sizeof(STARTUPINFOA), "start-up record layout");
static_assert(offsetof(StartupInfo, dwFlags) == offsetof(STARTUPINFOA, dwFlags), "layout");
static_assert(offsetof(StartupInfo, wShowWindow) == offsetof(STARTUPINFOA, wShowWindow), "layout");
static_assert(offsetof(StartupInfo, hStdError) == offsetof(STARTUPINFOA, hStdError), "layout");
static_assert(sizeof(ProcessInformation) == sizeof(PROCESS_INFORMATION), "process record");
static_assert(offsetof(ProcessInformation, hThread) == offsetof(PROCESS_INFORMATION, hThread),
              "layout");
#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(STARTUPINFOA) == 68, "the 32-bit start-up record is 68 bytes");
#endif

HANDLE ToHandle(ObjectHandle object) { return reinterpret_cast<HANDLE>(object); }

class Kernel32Processes final : public Processes {
 public:
  bool CreateProcessA(const char* applicationName, char* commandLine, bool inheritHandles,
                      std::uint32_t creationFlags, StartupInfo* startup,
                      ProcessInformation* information) override {
    return ::CreateProcessA(applicationName, commandLine, nullptr, nullptr,
                            inheritHandles ? TRUE : FALSE, creationFlags, nullptr, nullptr,
                            reinterpret_cast<STARTUPINFOA*>(startup),
                            reinterpret_cast<PROCESS_INFORMATION*>(information)) != 0;
  }
  bool CloseHandle(ObjectHandle object) override { return ::CloseHandle(ToHandle(object)) != 0; }
  std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) override {
    return ::GetSystemDirectoryA(buffer, size);
  }
  std::uint32_t GetModuleFileNameW(wchar_t* buffer, std::uint32_t size) override {
    return ::GetModuleFileNameW(nullptr, buffer, size);
  }
};

}  // namespace

Processes& Win32Processes() {
  static Kernel32Processes processes;
  return processes;
}

}  // namespace platform::win32
