#include "tests/conformance/harness.h"

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstring>
#include <exception>

namespace conformance {
namespace {

struct TestCase {
  const char* name;
  TestFunction function;
};

std::vector<TestCase>& Registry() {
  static std::vector<TestCase> tests;
  return tests;
}

int g_failures_in_test = 0;

// Closes a handle when it goes out of scope.
class Handle {
 public:
  Handle() = default;
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() { Reset(); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  HANDLE get() const { return handle_; }
  HANDLE* out() {
    Reset();
    return &handle_;
  }
  bool valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  void Reset() {
    if (valid()) CloseHandle(handle_);
    handle_ = nullptr;
  }

 private:
  HANDLE handle_ = nullptr;
};

struct PipeReader {
  HANDLE pipe;
  std::string bytes;
};

DWORD WINAPI ReadAll(LPVOID parameter) {
  auto* reader = static_cast<PipeReader*>(parameter);
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(reader->pipe, buffer, sizeof buffer, &got, nullptr) && got > 0) {
    reader->bytes.append(buffer, got);
  }
  return 0;
}

std::string Quote(const std::string& path) { return "\"" + path + "\""; }

std::string ErrorText(DWORD error) {
  std::ostringstream out;
  out << error;
  return out.str();
}

}  // namespace

TestRegistration::TestRegistration(const char* name, TestFunction function) {
  Registry().push_back(TestCase{name, function});
}

void ReportFailure(const Location& where, const std::string& message) {
  ++g_failures_in_test;
  std::printf("%s:%d: failure\n  %s\n", where.file, where.line, message.c_str());
}

std::string Printable(const std::string& bytes) {
  std::string out = "\"";
  for (unsigned char c : bytes) {
    switch (c) {
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '"':
        out += "\\\"";
        break;
      default:
        if (c < 0x20 || c >= 0x7f) {
          char hex[8];
          std::snprintf(hex, sizeof hex, "\\x%02X", c);
          out += hex;
        } else {
          out += static_cast<char>(c);
        }
    }
  }
  return out + "\"";
}

// ---------------------------------------------------------------------------
// Starting the programs.
// ---------------------------------------------------------------------------

namespace {

// Starts a program through `start` (CreateProcessA or CreateProcessW over a STARTUPINFO of the
// same form, filled here) with standard output to a pipe or the file of the options, and waits
// until it ends.
template <typename StartupInfo, typename Start>
RunResult RunStarted(const RunOptions& options, Start start) {
  RunResult result;

  SECURITY_ATTRIBUTES inheritable = {};
  inheritable.nLength = sizeof inheritable;
  inheritable.bInheritHandle = TRUE;

  Handle read_end;
  Handle write_end;
  if (options.stdout_file.empty()) {
    if (!CreatePipe(read_end.out(), write_end.out(), &inheritable, 0)) {
      result.start_error = GetLastError();
      return result;
    }
    SetHandleInformation(read_end.get(), HANDLE_FLAG_INHERIT, 0);
  } else {
    *write_end.out() = CreateFileA(options.stdout_file.c_str(), GENERIC_WRITE, FILE_SHARE_READ,
                                   &inheritable, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (!write_end.valid()) {
      result.start_error = GetLastError();
      return result;
    }
  }
  Handle null_device(CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable, OPEN_EXISTING, 0,
                                 nullptr));

  StartupInfo startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = null_device.get();
  startup.hStdOutput = write_end.get();
  startup.hStdError = null_device.get();
  if (options.show_window >= 0) {
    startup.dwFlags |= STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(options.show_window);
  }

  PROCESS_INFORMATION process = {};
  if (!start(startup, &process)) {
    result.start_error = GetLastError();
    return result;
  }
  result.started = true;
  Handle process_handle(process.hProcess);
  Handle thread_handle(process.hThread);
  // Only the child holds the write end now: the pipe ends when it ends.
  write_end.Reset();
  null_device.Reset();

  PipeReader reader{read_end.get(), std::string()};
  Handle reader_thread;
  if (read_end.valid()) {
    *reader_thread.out() = CreateThread(nullptr, 0, &ReadAll, &reader, 0, nullptr);
  }

  if (WaitForSingleObject(process_handle.get(), options.timeout_ms) != WAIT_OBJECT_0) {
    result.timed_out = true;
    TerminateProcess(process_handle.get(), 0xDEAD);
    WaitForSingleObject(process_handle.get(), 10000);
  }
  GetExitCodeProcess(process_handle.get(), &result.exit_code);

  if (reader_thread.valid()) {
    // A program that the child started may still hold the pipe; do not wait
    // for it for ever.
    if (WaitForSingleObject(reader_thread.get(), 10000) != WAIT_OBJECT_0) {
      CancelSynchronousIo(reader_thread.get());
      WaitForSingleObject(reader_thread.get(), 5000);
    }
  }
  result.output = reader.bytes;
  return result;
}

}  // namespace

RunResult RunRaw(const std::string& exe, const std::string& raw_command_line,
                 const RunOptions& options) {
  // CreateProcessA may write into the command line: give it a copy.
  std::vector<char> command_line(raw_command_line.begin(), raw_command_line.end());
  command_line.push_back('\0');
  const char* current_dir = options.current_dir.empty() ? nullptr : options.current_dir.c_str();
  return RunStarted<STARTUPINFOA>(
      options, [&](STARTUPINFOA& startup, PROCESS_INFORMATION* process) {
        return CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              current_dir, &startup, process);
      });
}

RunResult RunRawWide(const std::wstring& exe, const std::wstring& raw_command_line,
                     const RunOptions& options) {
  std::vector<wchar_t> command_line(raw_command_line.begin(), raw_command_line.end());
  command_line.push_back(L'\0');
  const std::wstring current_dir = Widen(options.current_dir);
  return RunStarted<STARTUPINFOW>(options, [&](STARTUPINFOW& startup,
                                               PROCESS_INFORMATION* process) {
    return CreateProcessW(exe.c_str(), command_line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                          current_dir.empty() ? nullptr : current_dir.c_str(), &startup, process);
  });
}

std::wstring Widen(const std::string& text) {
  if (text.empty()) return std::wstring();
  const int length =
      MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), &wide[0], length);
  return wide;
}

RunResult Run(const std::string& exe, const std::string& command_line_text,
              const RunOptions& options) {
  return RunRaw(exe, Quote(exe) + " " + command_line_text, options);
}

RunResult Run(const std::string& exe, const std::string& command_line_text,
              const std::string& current_dir) {
  RunOptions options;
  options.current_dir = current_dir;
  return Run(exe, command_line_text, options);
}

std::string GetEnv(const char* name) {
  char buffer[32768];
  DWORD length = GetEnvironmentVariableA(name, buffer, sizeof buffer);
  if (length == 0 || length >= sizeof buffer) return std::string();
  return std::string(buffer, length);
}

std::string SystemMsiexec() {
  char directory[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  return std::string(directory, length) + "\\msiexec.exe";
}

std::string TestProgramDir() {
  char path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string full(path, length);
  size_t slash = full.find_last_of("\\/");
  return slash == std::string::npos ? std::string(".") : full.substr(0, slash);
}

std::string ConsoleText(const std::string& text) {
  std::string written;
  for (const char c : text) {
    if (c == '\n') written += '\r';
    written += c;
  }
  return written;
}

std::string MordeltExe() {
  std::string path = GetEnv("MORDELT_EXE");
  return path.empty() ? TestProgramDir() + "\\Mordelt.exe" : path;
}

std::string SetupExe() {
  std::string path = GetEnv("SETUP_EXE");
  return path.empty() ? TestProgramDir() + "\\setup.exe" : path;
}

// ---------------------------------------------------------------------------
// Registry.
// ---------------------------------------------------------------------------

ScopedTestKey::ScopedTestKey() { DeleteKeyTree(kTestKey); }
ScopedTestKey::~ScopedTestKey() { DeleteKeyTree(kTestKey); }

bool KeyExists(const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool CreateKey(const std::string& path) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

bool DeleteKeyTree(const std::string& path) {
  LSTATUS status = RegDeleteTreeA(HKEY_LOCAL_MACHINE, path.c_str());
  if (status == ERROR_FILE_NOT_FOUND) return true;
  if (status != ERROR_SUCCESS) return false;
  // RegDeleteTreeA empties the key; remove the key itself as well.
  status = RegDeleteKeyA(HKEY_LOCAL_MACHINE, path.c_str());
  return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND;
}

bool SetStringValue(const std::string& path, const std::string& name, const std::string& data) {
  HKEY key = nullptr;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS) {
    return false;
  }
  LSTATUS status =
      RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                     static_cast<DWORD>(data.size() + 1));
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool ReadRawValue(const std::string& path, const std::string& name, DWORD* type,
                  std::string* bytes) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  DWORD size = 0;
  LSTATUS status = RegQueryValueExA(key, name.c_str(), nullptr, type, nullptr, &size);
  bytes->assign(size, '\0');
  if (status == ERROR_SUCCESS && size > 0) {
    status = RegQueryValueExA(key, name.c_str(), nullptr, type,
                              reinterpret_cast<BYTE*>(&(*bytes)[0]), &size);
    bytes->resize(size);
  }
  RegCloseKey(key);
  return status == ERROR_SUCCESS;
}

bool ReadValue(const std::string& path, const std::string& name, DWORD* type, std::string* data) {
  DWORD value_type = 0;
  std::string bytes;
  if (!ReadRawValue(path, name, &value_type, &bytes)) return false;
  if (type != nullptr) *type = value_type;
  if (data != nullptr) {
    // String values: drop the terminating NUL that the registry keeps.
    if ((value_type == REG_SZ || value_type == REG_EXPAND_SZ) && !bytes.empty() &&
        bytes.back() == '\0') {
      bytes.pop_back();
    }
    *data = bytes;
  }
  return true;
}

bool ValueExists(const std::string& path, const std::string& name) {
  return ReadValue(path, name, nullptr, nullptr);
}

// ---------------------------------------------------------------------------
// Files.
// ---------------------------------------------------------------------------

TempDir::TempDir() {
  char base[MAX_PATH + 1] = {};
  DWORD length = GetTempPathA(MAX_PATH, base);
  std::string root(base, length);
  if (!root.empty() && (root.back() == '\\' || root.back() == '/')) root.pop_back();
  for (unsigned attempt = 0;; ++attempt) {
    std::ostringstream name;
    name << root << "\\mordelt-conformance-" << GetCurrentProcessId() << "-" << GetTickCount()
         << "-" << attempt;
    if (CreateDirectoryA(name.str().c_str(), nullptr)) {
      path_ = name.str();
      return;
    }
    if (GetLastError() != ERROR_ALREADY_EXISTS || attempt > 1000) {
      ReportFailure(CONFORMANCE_HERE, "cannot create a temporary directory under " + root +
                                          ", error " + ErrorText(GetLastError()));
      throw TestAborted{};
    }
  }
}

TempDir::~TempDir() { RemoveTree(path_); }

std::string TempDir::File(const std::string& name) const { return path_ + "\\" + name; }

bool WriteFileBytes(const std::string& path, const std::string& bytes) {
  Handle file(CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                          FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  DWORD written = 0;
  return WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

bool ReadFileBytes(const std::string& path, std::string* bytes) {
  Handle file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return false;
  bytes->clear();
  char buffer[4096];
  DWORD got = 0;
  while (ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) {
    bytes->append(buffer, got);
  }
  return true;
}

bool FileExists(const std::string& path) {
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool RemoveTree(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    return DeleteFileA(path.c_str()) != 0;
  }
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      if (std::strcmp(found.cFileName, ".") != 0 && std::strcmp(found.cFileName, "..") != 0) {
        RemoveTree(path + "\\" + found.cFileName);
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  return RemoveDirectoryA(path.c_str()) != 0;
}

}  // namespace conformance

// ---------------------------------------------------------------------------
// The runner.
// ---------------------------------------------------------------------------

int main(int argc, char** argv) {
  using namespace conformance;
  // Plain "\n" line ends and no buffering: progress shows as it happens.
  _setmode(_fileno(stdout), _O_BINARY);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  // No error boxes from a failing program under test.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

  const char* filter = argc > 1 ? argv[1] : "";
  int passed = 0;
  int failed = 0;
  int skipped = 0;
  std::vector<std::string> failed_names;

  std::printf("Mordelt.exe: %s\nsetup.exe:   %s\n", MordeltExe().c_str(), SetupExe().c_str());
  for (const TestCase& test : Registry()) {
    if (std::strstr(test.name, filter) == nullptr) continue;
    std::printf("[ RUN      ] %s\n", test.name);
    g_failures_in_test = 0;
    std::string skip_reason;
    bool is_skipped = false;
    try {
      test.function();
    } catch (const TestAborted&) {
      // The failure is already reported.
    } catch (const TestSkipped& skip) {
      is_skipped = true;
      skip_reason = skip.reason;
    } catch (const std::exception& error) {
      ReportFailure(Location{test.name, 0}, std::string("exception: ") + error.what());
    } catch (...) {
      ReportFailure(Location{test.name, 0}, "unknown exception");
    }
    if (g_failures_in_test > 0) {
      ++failed;
      failed_names.push_back(test.name);
      std::printf("[  FAILED  ] %s\n", test.name);
    } else if (is_skipped) {
      ++skipped;
      std::printf("[  SKIPPED ] %s: %s\n", test.name, skip_reason.c_str());
    } else {
      ++passed;
      std::printf("[       OK ] %s\n", test.name);
    }
  }

  for (const std::string& name : failed_names) std::printf("FAILED: %s\n", name.c_str());
  std::printf("conformance: %d passed, %d failed, %d skipped\n", passed, failed, skipped);
  if (passed + failed == 0) {
    std::printf("no test ran (filter \"%s\")\n", filter);
    return 2;
  }
  return failed == 0 ? 0 : 1;
}
