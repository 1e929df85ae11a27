#include "tests/fakes/fake_processes.h"

#include <cstring>

namespace fakes {

platform::ObjectHandle FakeProcesses::NewHandle() {
  nextHandle_ += 4;
  return reinterpret_cast<platform::ObjectHandle>(nextHandle_);
}

bool FakeProcesses::CreateProcessA(const char* applicationName, char* commandLine,
                                   bool inheritHandles, std::uint32_t creationFlags,
                                   platform::StartupInfo* startup,
                                   platform::ProcessInformation* information) {
  const auto fault = log_.Record(
      "CreateProcessA", Quote(applicationName) + ", " + Quote(commandLine) + ", " +
                            (inheritHandles ? "TRUE" : "FALSE") + ", " + Hex(creationFlags));
  ProcessCreation creation;
  if (applicationName != nullptr) creation.applicationName = applicationName;
  if (commandLine != nullptr) creation.commandLine = commandLine;
  creation.inheritHandles = inheritHandles;
  creation.creationFlags = creationFlags;
  if (startup != nullptr) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(startup);
    creation.startupBytes.assign(bytes, bytes + sizeof *startup);
  }

  bool answer = false;
  if (fault) {
    lastError = FaultOr(*fault, platform::kErrorFileNotFound);
  } else {
    if (child) child(applicationName, commandLine);
    information->hProcess = NewHandle();
    information->hThread = NewHandle();
    information->dwProcessId = 0x1000 + static_cast<std::uint32_t>(creations.size());
    information->dwThreadId = 0x2000 + static_cast<std::uint32_t>(creations.size());
    processes_.insert(information->hProcess);
    threads_.insert(information->hThread);
    creation.created = true;
    answer = true;
  }
  creations.push_back(std::move(creation));
  return forcedAnswer.value_or(answer);
}

bool FakeProcesses::CloseHandle(platform::ObjectHandle object) {
  const auto fault = log_.Record("CloseHandle", Hex(reinterpret_cast<std::uintptr_t>(object)));
  const bool wasProcess = processes_.erase(object) > 0;
  const bool wasThread = !wasProcess && threads_.erase(object) > 0;
  // A planned failure still ends the handle: there is nothing more a caller could release.
  if (fault) {
    lastError = FaultOr(*fault, platform::kErrorInvalidHandle);
    return false;
  }
  if (!wasProcess && !wasThread) {
    ++badCloses;
    lastError = platform::kErrorInvalidHandle;
    return false;
  }
  closedKinds.emplace_back(wasProcess ? "process" : "thread");
  return true;
}

std::uint32_t FakeProcesses::GetSystemDirectoryA(char* buffer, std::uint32_t size) {
  const auto fault = log_.Record("GetSystemDirectoryA", std::to_string(size));
  if (fault) {
    lastError = FaultOr(*fault, platform::kErrorNotEnoughMemory);
    return 0;
  }
  const auto length = static_cast<std::uint32_t>(systemDirectory.size());
  if (buffer == nullptr || size <= length) return length + 1;  // the size needed
  std::memcpy(buffer, systemDirectory.c_str(), length + 1);
  return length;
}

std::uint32_t FakeProcesses::GetModuleFileNameW(wchar_t* buffer, std::uint32_t size) {
  const auto fault = log_.Record("GetModuleFileNameW", std::to_string(size));
  if (fault) {
    lastError = FaultOr(*fault, platform::kErrorNotEnoughMemory);
    return 0;
  }
  if (modulePath.size() < size) {
    buffer[modulePath.copy(buffer, modulePath.size())] = L'\0';
    return static_cast<std::uint32_t>(modulePath.size());
  }
  // Too long: the part that fits with a NUL, and the buffer's size.
  lastError = platform::kErrorInsufficientBuffer;
  if (size == 0) return 0;
  buffer[modulePath.copy(buffer, size - 1)] = L'\0';
  return size;
}

}  // namespace fakes
