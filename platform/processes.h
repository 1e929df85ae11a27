#pragma once

#include <cstdint>

#include "platform/unique_handle.h"

namespace platform {

// Opaque kernel object handle (HANDLE).
struct KernelObjectTag;
using ObjectHandle = KernelObjectTag*;

constexpr std::uint32_t kCreateNoWindow = 0x08000000u;   // CREATE_NO_WINDOW
constexpr std::uint32_t kDetachedProcess = 0x00000008u;  // DETACHED_PROCESS
constexpr std::uint32_t kInfinite = 0xFFFFFFFFu;         // INFINITE

// The start-up record, laid out as the system's STARTUPINFOA on every architecture
// (68 bytes for 32-bit programs); the Windows layer hands it over unchanged.
struct StartupInfo {
  std::uint32_t cb;
  char* lpReserved;
  char* lpDesktop;
  char* lpTitle;
  std::uint32_t dwX;
  std::uint32_t dwY;
  std::uint32_t dwXSize;
  std::uint32_t dwYSize;
  std::uint32_t dwXCountChars;
  std::uint32_t dwYCountChars;
  std::uint32_t dwFillAttribute;
  std::uint32_t dwFlags;
  std::uint16_t wShowWindow;
  std::uint16_t cbReserved2;
  unsigned char* lpReserved2;
  void* hStdInput;
  void* hStdOutput;
  void* hStdError;
};

// The process record, laid out as the system's PROCESS_INFORMATION.
struct ProcessInformation {
  ObjectHandle hProcess;
  ObjectHandle hThread;
  std::uint32_t dwProcessId;
  std::uint32_t dwThreadId;
};

// Processes and kernel objects (kernel32, 8-bit forms).
class Processes {
 public:
  virtual ~Processes() = default;
  // CreateProcessA(applicationName, commandLine, no process attributes, no thread attributes,
  // inheritHandles, creationFlags, no environment, no current directory, startup, information).
  virtual bool CreateProcessA(const char* applicationName, char* commandLine, bool inheritHandles,
                              std::uint32_t creationFlags, StartupInfo* startup,
                              ProcessInformation* information) = 0;
  virtual bool CloseHandle(ObjectHandle object) = 0;
  // GetSystemDirectoryA(buffer, size): the length written, or the size needed when it does not
  // fit, or 0 on failure.
  virtual std::uint32_t GetSystemDirectoryA(char* buffer, std::uint32_t size) = 0;
  // GetModuleFileNameW(the program's own module, buffer, size): the full path of the program
  // file, as the process was started with it; the length written without the NUL, or `size`
  // when the path did not fit (the buffer then holds part of it), or 0 on failure.
  virtual std::uint32_t GetModuleFileNameW(wchar_t* buffer, std::uint32_t size) = 0;
};

// A kernel object handle, closed at the end of its scope.
using UniqueObjectHandle =
    UniqueHandle<HandleTraits<Processes, ObjectHandle, &Processes::CloseHandle>>;

}  // namespace platform
