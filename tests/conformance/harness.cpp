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
// The failures of the running test, as reported, for the JUnit file.
std::string g_failure_text;

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
  char place[300];
  std::snprintf(place, sizeof place, "%s:%d: failure\n  ", where.file, where.line);
  g_failure_text += place + message + "\n";
  std::printf("%s%s\n", place, message.c_str());
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

  // Started suspended, so that it is in the job before it can start anything.
  ProcessTree tree;
  PROCESS_INFORMATION process = {};
  if (!start(startup, &process)) {
    result.start_error = GetLastError();
    return result;
  }
  Handle process_handle(process.hProcess);
  Handle thread_handle(process.hThread);
  if (!tree.Adopt(process_handle.get())) {
    result.start_error = GetLastError();
    TerminateProcess(process_handle.get(), 0xDEAD);
    return result;
  }
  ResumeThread(thread_handle.get());
  result.started = true;
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
    tree.End();
    WaitForSingleObject(process_handle.get(), 10000);
  }
  GetExitCodeProcess(process_handle.get(), &result.exit_code);
  // What the program started and left running ends with it.
  tree.End();

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
        return CreateProcessA(exe.c_str(), command_line.data(), nullptr, nullptr, TRUE,
                              CREATE_SUSPENDED, nullptr, current_dir, &startup, process);
      });
}

RunResult RunRawWide(const std::wstring& exe, const std::wstring& raw_command_line,
                     const RunOptions& options) {
  std::vector<wchar_t> command_line(raw_command_line.begin(), raw_command_line.end());
  command_line.push_back(L'\0');
  const std::wstring current_dir = Widen(options.current_dir);
  return RunStarted<STARTUPINFOW>(
      options, [&](STARTUPINFOW& startup, PROCESS_INFORMATION* process) {
        return CreateProcessW(
            exe.c_str(), command_line.data(), nullptr, nullptr, TRUE, CREATE_SUSPENDED, nullptr,
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

std::string SystemProgram(const std::string& file_name) {
  char directory[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(directory, MAX_PATH);
  return std::string(directory, length < MAX_PATH ? length : 0) + "\\" + file_name;
}

std::string SystemMsiexec() { return SystemProgram("msiexec.exe"); }

bool UnderWine() {
  const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

bool RunsUnderWow64() {
  BOOL wow64 = FALSE;
  return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

ProcessTree::ProcessTree() : job_(CreateJobObjectA(nullptr, nullptr)) {
  JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits = {};
  limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (job_ != nullptr &&
      !SetInformationJobObject(job_, JobObjectExtendedLimitInformation, &limits, sizeof limits)) {
    CloseHandle(job_);
    job_ = nullptr;
  }
}

// Ends what is left in the job; should this program itself die first, closing the job's last
// handle does the same (JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE).
ProcessTree::~ProcessTree() {
  End();
  if (job_ != nullptr) CloseHandle(job_);
}

bool ProcessTree::Adopt(HANDLE process) {
  if (job_ == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return AssignProcessToJobObject(job_, process) != 0;
}

void ProcessTree::End() {
  if (job_ != nullptr) TerminateJobObject(job_, 0xDEAD);
}

namespace {

// Whether another process holds Windows Installer's mutex now. Its state is read, never taken:
// a wait on it would take it from the installer.
bool InstallerMutexHeld() {
  struct MutantBasicInformation {
    LONG current_count;  // 1: free; 0 or less: held
    BOOLEAN owned_by_caller;
    BOOLEAN abandoned;
  };
  using QueryMutant = LONG(WINAPI*)(HANDLE, int, void*, ULONG, ULONG*);
  const auto query = reinterpret_cast<QueryMutant>(
      reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtQueryMutant")));
  Handle mutex(OpenMutexA(SYNCHRONIZE | MUTANT_QUERY_STATE, FALSE, "Global\\_MSIExecute"));
  if (!mutex.valid()) return false;
  MutantBasicInformation state = {};
  // Present but unreadable: taken as held, so the wait's limit decides.
  return query == nullptr || query(mutex.get(), 0, &state, sizeof state, nullptr) != 0 ||
         state.current_count <= 0;
}

}  // namespace

bool WaitForOtherInstallations(DWORD limit_ms) {
  const ULONGLONG started = GetTickCount64();
  for (bool told = false; InstallerMutexHeld(); told = true) {
    if (GetTickCount64() - started >= limit_ms) {
      std::printf("  note: another installation still holds Global\\_MSIExecute; going on\n");
      return false;
    }
    if (!told)
      std::printf("  note: waiting while another installation holds Global\\_MSIExecute\n");
    Sleep(1000);
  }
  return true;
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

namespace conformance {
namespace {

// What one test ended with, for the JUnit file.
struct Outcome {
  const char* name;
  const char* status;  // "passed", "failed" or "skipped"
  double seconds;
  std::string text;  // the failures as reported, or the reason for the skip
};

// Text for an XML attribute or element, in UTF-8: the ANSI text converted, markup characters as
// references, and the control characters that XML cannot hold shown as \xNN.
std::string XmlText(const std::string& ansi) {
  const std::wstring wide = Widen(ansi);
  std::wstring escaped;
  for (const wchar_t c : wide) {
    switch (c) {
      case L'&':
        escaped += L"&amp;";
        break;
      case L'<':
        escaped += L"&lt;";
        break;
      case L'>':
        escaped += L"&gt;";
        break;
      case L'"':
        escaped += L"&quot;";
        break;
      default:
        if (c < 0x20 && c != L'\t' && c != L'\n' && c != L'\r') {
          wchar_t hex[8];
          std::swprintf(hex, 8, L"\\x%02X", static_cast<unsigned>(c));
          escaped += hex;
        } else {
          escaped += c;
        }
    }
  }
  if (escaped.empty()) return std::string();
  const int size = WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()),
                                       nullptr, 0, nullptr, nullptr);
  std::string utf8(static_cast<std::size_t>(size), '\0');
  WideCharToMultiByte(CP_UTF8, 0, escaped.data(), static_cast<int>(escaped.size()), &utf8[0], size,
                      nullptr, nullptr);
  return utf8;
}

// Writes the outcomes as one JUnit test suite named after this build's architecture.
bool WriteJUnit(const std::string& path, const std::vector<Outcome>& outcomes) {
  const char* const suite = sizeof(void*) == 8 ? "x64" : "x86";
  int failures = 0;
  int skips = 0;
  double seconds = 0;
  std::string cases;
  for (const Outcome& outcome : outcomes) {
    char time[32];
    std::snprintf(time, sizeof time, "%.3f", outcome.seconds);
    seconds += outcome.seconds;
    cases += std::string("    <testcase classname=\"conformance.") + suite + "\" name=\"" +
             XmlText(outcome.name) + "\" time=\"" + time + "\"";
    const std::string text = XmlText(outcome.text);
    if (std::strcmp(outcome.status, "failed") == 0) {
      ++failures;
      cases += ">\n      <failure message=\"" +
               text.substr(0, text.find('\n', text.find('\n') + 1)) + "\">" + text +
               "</failure>\n    </testcase>\n";
    } else if (std::strcmp(outcome.status, "skipped") == 0) {
      ++skips;
      cases += ">\n      <skipped message=\"" + text + "\"/>\n    </testcase>\n";
    } else {
      cases += "/>\n";
    }
  }
  char head[256];
  std::snprintf(head, sizeof head,
                "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<testsuites>\n  <testsuite "
                "name=\"conformance.%s\" tests=\"%u\" failures=\"%d\" errors=\"0\" skipped=\"%d\" "
                "time=\"%.3f\">\n",
                suite, static_cast<unsigned>(outcomes.size()), failures, skips, seconds);
  return WriteFileBytes(path, head + cases + "  </testsuite>\n</testsuites>\n");
}

// Outside Wine the tests need an elevated token without registry virtualization: a virtualized
// 32-bit run and the 32-bit programs it starts would share a private copy of HKEY_LOCAL_MACHINE,
// and every start of setup.exe would be refused with 740. (Wine has no such split.)
bool RunsElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  Handle owned(token);
  TOKEN_ELEVATION elevation = {};
  DWORD virtualized = 1;
  DWORD size = 0;
  return GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size) &&
         elevation.TokenIsElevated != 0 &&
         GetTokenInformation(token, TokenVirtualizationEnabled, &virtualized, sizeof virtualized,
                             &size) &&
         virtualized == 0;
}

}  // namespace
}  // namespace conformance

int main(int argc, char** argv) {
  using namespace conformance;
  // Plain "\n" line ends and no buffering: progress shows as it happens.
  _setmode(_fileno(stdout), _O_BINARY);
  std::setvbuf(stdout, nullptr, _IONBF, 0);
  // No error boxes from a failing program under test.
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);

  const char* filter = "";
  const char* junit = nullptr;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--junit") == 0 && i + 1 < argc) {
      junit = argv[++i];
    } else if (std::strcmp(argv[i], "--junit") == 0) {
      std::printf("conformance: --junit needs a file name\n");
      return 2;
    } else {
      filter = argv[i];
    }
  }
  if (!UnderWine() && !RunsElevated()) {
    std::printf(
        "conformance: no test run: run this program elevated (as administrator), with registry "
        "virtualization off\n");
    return 2;
  }
  int passed = 0;
  int failed = 0;
  int skipped = 0;
  std::vector<std::string> failed_names;
  std::vector<Outcome> outcomes;

  std::printf("Mordelt.exe: %s\nsetup.exe:   %s\n", MordeltExe().c_str(), SetupExe().c_str());
  for (const TestCase& test : Registry()) {
    if (std::strstr(test.name, filter) == nullptr) continue;
    std::printf("[ RUN      ] %s\n", test.name);
    g_failures_in_test = 0;
    g_failure_text.clear();
    const ULONGLONG started = GetTickCount64();
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
    const double seconds = static_cast<double>(GetTickCount64() - started) / 1000;
    if (g_failures_in_test > 0) {
      outcomes.push_back(Outcome{test.name, "failed", seconds, g_failure_text});
      ++failed;
      failed_names.push_back(test.name);
      std::printf("[  FAILED  ] %s\n", test.name);
    } else if (is_skipped) {
      outcomes.push_back(Outcome{test.name, "skipped", seconds, skip_reason});
      ++skipped;
      std::printf("[  SKIPPED ] %s: %s\n", test.name, skip_reason.c_str());
    } else {
      outcomes.push_back(Outcome{test.name, "passed", seconds, std::string()});
      ++passed;
      std::printf("[       OK ] %s\n", test.name);
    }
  }

  for (const std::string& name : failed_names) std::printf("FAILED: %s\n", name.c_str());
  std::printf("conformance: %d passed, %d failed, %d skipped\n", passed, failed, skipped);
  if (junit != nullptr && !WriteJUnit(junit, outcomes)) {
    std::printf("conformance: cannot write %s\n", junit);
    return 1;
  }
  if (passed + failed == 0) {
    std::printf("no test ran (filter \"%s\")\n", filter);
    return 2;
  }
  return failed == 0 ? 0 : 1;
}
