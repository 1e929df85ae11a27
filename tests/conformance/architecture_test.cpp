// What the programs reach on a 64-bit system, seen by a 64-bit reader: a 32-bit Mordelt writes
// the 32-bit registry view (HKLM\SOFTWARE\WOW6432Node to a 64-bit process), also through the
// reg.exe it starts, and setup starts the msiexec of its own architecture's system folder.
// conformance.exe has the architecture of the programs it tests.
#include <windows.h>

#include <string>

#include "tests/conformance/harness.h"

namespace {

using conformance::RunResult;
using conformance::RunsUnderWow64;

// Reads a REG_SZ value through the 64-bit view, as a 64-bit process sees it.
bool Read64BitView(const std::string& path, const std::string& name, std::string* data) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE | KEY_WOW64_64KEY, &key) !=
      ERROR_SUCCESS) {
    return false;
  }
  char buffer[256] = {};
  DWORD size = sizeof buffer - 1;
  const bool read = RegQueryValueExA(key, name.c_str(), nullptr, nullptr,
                                     reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS;
  RegCloseKey(key);
  if (read) *data = std::string(buffer);
  return read;
}

// Each way of writing a value, and where a 64-bit process finds it.
CONFORMANCE_TEST(ArchitectureRegistryViewOfMordeltsWrites) {
  conformance::TempDir dir;
  const std::string script = dir.File("values.txt");
  const std::string regFile = dir.File("values.reg");
  REQUIRE(
      conformance::WriteFileBytes(script, "\"Software\\MordeltConformance\" \"View\" \"s\"\r\n"));
  REQUIRE(conformance::WriteFileBytes(
      regFile,
      "Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\Software\\"
      "MordeltConformance]\r\n\"View\"=\"r\"\r\n"));
  const struct {
    std::string command;
    const char* data;
  } rows[] = {
      {"-add*Software\\MordeltConformance*View*a", "a"},
      {"-regfile*" + script, "s"},
      {"-importreg*import*" + regFile, "r"},  // reg.exe of the same architecture
  };
  const bool wow64 = RunsUnderWow64();
  const std::string seen =
      wow64 ? "Software\\WOW6432Node\\MordeltConformance" : "Software\\MordeltConformance";
  for (const auto& row : rows) {
    conformance::ScopedTestKey scoped;
    const RunResult result = conformance::Run(conformance::MordeltExe(), row.command);
    CHECK_EQ(result.exit_code, 0u);
    std::string data;
    CHECK(Read64BitView(seen, "View", &data));
    CHECK_EQ(data, row.data);
    if (wow64) CHECK(!Read64BitView("Software\\MordeltConformance", "View", &data));
  }
}

// The image of every process that setup starts, told by the debug events of its tree.
std::string ImagesStartedBy(const std::string& command_line_text, const std::string& dir) {
  std::string commandLine = "\"" + conformance::SetupExe() + "\" " + command_line_text;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  // In a job, so that nothing of the tree outlives a wait that gives up.
  conformance::ProcessTree tree;
  if (!CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE,
                      DEBUG_PROCESS | CREATE_SUSPENDED, nullptr, dir.c_str(), &startup, &process)) {
    return "(not started)";
  }
  if (!tree.Adopt(process.hProcess)) TerminateProcess(process.hProcess, 0xDEAD);
  ResumeThread(process.hThread);
  std::string images;
  for (bool running = true; running;) {
    DEBUG_EVENT event = {};
    if (!WaitForDebugEvent(&event, 120000)) break;
    DWORD status = DBG_CONTINUE;
    if (event.dwDebugEventCode == CREATE_PROCESS_DEBUG_EVENT) {
      char path[MAX_PATH] = {};
      DWORD length = MAX_PATH;
      if (event.dwProcessId != process.dwProcessId &&
          QueryFullProcessImageNameA(event.u.CreateProcessInfo.hProcess, 0, path, &length)) {
        images += std::string(path, length) + "\n";
      }
      if (event.u.CreateProcessInfo.hFile != nullptr) CloseHandle(event.u.CreateProcessInfo.hFile);
    } else if (event.dwDebugEventCode == LOAD_DLL_DEBUG_EVENT && event.u.LoadDll.hFile) {
      CloseHandle(event.u.LoadDll.hFile);
    } else if (event.dwDebugEventCode == EXCEPTION_DEBUG_EVENT &&
               event.u.Exception.ExceptionRecord.ExceptionCode != EXCEPTION_BREAKPOINT) {
      status = DBG_EXCEPTION_NOT_HANDLED;
    } else if (event.dwDebugEventCode == EXIT_PROCESS_DEBUG_EVENT &&
               event.dwProcessId == process.dwProcessId) {
      running = false;
    }
    ContinueDebugEvent(event.dwProcessId, event.dwThreadId, status);
  }
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return images;
}

// A 32-bit setup on 64-bit Windows starts SysWOW64's msiexec; a 64-bit one System32's.
CONFORMANCE_TEST(ArchitectureSetupStartsTheMsiexecOfItsSystemFolder) {
  conformance::TempDir dir;
  char folder[MAX_PATH] = {};
  const UINT length = RunsUnderWow64() ? GetSystemWow64DirectoryA(folder, MAX_PATH)
                                       : GetSystemDirectoryA(folder, MAX_PATH);
  REQUIRE(length > 0);
  std::string expected = std::string(folder, length) + "\\msiexec.exe\n";
  std::string images = ImagesStartedBy("-i Missing.msi -s", dir.path());
  CharLowerA(&expected[0]);
  CharLowerA(&images[0]);
  CHECK_EQ(images, expected);
}

}  // namespace
