// A small test framework for the conformance tests of Mordelt.exe and
// setup.exe. The tests start the real programs with an exact command line,
// read their standard output through a pipe and look at the registry and the
// files they touch. The same program runs under Wine and on Windows.
//
//   conformance.exe            runs every test
//   conformance.exe TEXT       runs the tests whose names contain TEXT
//   --junit FILE               also writes each test's result to FILE, in JUnit XML
//
// The programs are looked for beside conformance.exe, unless the environment
// variables MORDELT_EXE and SETUP_EXE name them. Outside Wine the tests run only
// elevated, with registry virtualization off; otherwise none runs and the exit code is 2.
#ifndef TESTS_CONFORMANCE_HARNESS_H_
#define TESTS_CONFORMANCE_HARNESS_H_

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace conformance {

// ---------------------------------------------------------------------------
// Registration and checks.
// ---------------------------------------------------------------------------

using TestFunction = void (*)();

// Adds a test to the list that main() runs, in the order of registration.
struct TestRegistration {
  TestRegistration(const char* name, TestFunction function);
};

// The place in a test file that a check stands at.
struct Location {
  const char* file;
  int line;
};

// Records a failure of the running test; the test goes on.
void ReportFailure(const Location& where, const std::string& message);

// Thrown by REQUIRE and SKIP_TEST; caught by the runner.
struct TestAborted {};
struct TestSkipped {
  std::string reason;
};

// Shows bytes with every control and non-ASCII byte escaped, in quotes.
std::string Printable(const std::string& bytes);

inline std::string Describe(const std::string& value) { return Printable(value); }
inline std::string Describe(const char* value) {
  return value == nullptr ? "(null)" : Printable(value);
}
template <std::size_t N>
std::string Describe(const char (&value)[N]) {
  return Printable(std::string(value));
}
inline std::string Describe(bool value) { return value ? "true" : "false"; }
template <typename T>
std::string Describe(const T& value) {
  std::ostringstream out;
  out << +value;
  if constexpr (std::is_integral_v<T>) {
    out << " (0x" << std::hex << static_cast<std::uint64_t>(value) << ")";
  }
  return out.str();
}

template <typename A, typename B>
bool CheckEqual(const Location& where, const A& actual, const B& expected, const char* actual_text,
                const char* expected_text) {
  if (actual == expected) return true;
  ReportFailure(where, std::string("CHECK_EQ(") + actual_text + ", " + expected_text +
                           ")\n    actual:   " + Describe(actual) +
                           "\n    expected: " + Describe(expected));
  return false;
}

}  // namespace conformance

#define CONFORMANCE_HERE (::conformance::Location{__FILE__, __LINE__})

// Defines and registers a test: CONFORMANCE_TEST(Name) { ...body... }
#define CONFORMANCE_TEST(name)                                                  \
  static void ConformanceTest_##name();                                         \
  static const ::conformance::TestRegistration conformance_registration_##name( \
      #name, &ConformanceTest_##name);                                          \
  static void ConformanceTest_##name()

// Checks at the given Location: for helpers that check on behalf of the
// test line that called them (pass CONFORMANCE_HERE down to them).
#define CHECK_AT(where, condition) \
  ((condition) ? true : (::conformance::ReportFailure((where), "CHECK(" #condition ")"), false))
#define CHECK_EQ_AT(where, actual, expected) \
  ::conformance::CheckEqual((where), (actual), (expected), #actual, #expected)

#define CHECK(condition) CHECK_AT(CONFORMANCE_HERE, condition)
#define CHECK_EQ(actual, expected) CHECK_EQ_AT(CONFORMANCE_HERE, actual, expected)

// Like CHECK, but ends the test when the condition does not hold.
#define REQUIRE(condition)                                     \
  do {                                                         \
    if (!CHECK(condition)) throw ::conformance::TestAborted{}; \
  } while (false)
#define REQUIRE_AT(where, condition)                                     \
  do {                                                                   \
    if (!CHECK_AT(where, condition)) throw ::conformance::TestAborted{}; \
  } while (false)

// Ends the test as skipped, with a reason that the report shows.
#define SKIP_TEST(reason) \
  throw ::conformance::TestSkipped { (reason) }

namespace conformance {

// ---------------------------------------------------------------------------
// Starting the programs.
// ---------------------------------------------------------------------------

struct RunOptions {
  // Current directory of the program; empty: that of conformance.exe.
  std::string current_dir;
  // Show state handed over in STARTUPINFO (STARTF_USESHOWWINDOW); -1: none.
  int show_window = -1;
  // When not empty, standard output goes to this file (created anew) instead
  // of the pipe; RunResult::output is then empty.
  std::string stdout_file;
  // The program is ended and the run counts as failed after this long.
  DWORD timeout_ms = 60000;
};

struct RunResult {
  bool started = false;    // CreateProcessA (or W) succeeded
  DWORD start_error = 0;   // its GetLastError when not started
  bool timed_out = false;  // ended by TerminateProcess after the timeout
  DWORD exit_code = 0;     // GetExitCodeProcess, all 32 bits
  std::string output;      // every byte written to standard output
};

// Every run below starts its program in a job object: when the program ends, or is ended after
// the timeout, every process that it started and left running is ended with it.

// Starts `exe` with the command line: the quoted exe path, one blank, then
// `command_line_text` exactly. WinMain's lpCmdLine is then the text after
// the program name and the blanks that follow it, so leading blanks of the
// text do not reach the program. Waits until it ends.
RunResult Run(const std::string& exe, const std::string& command_line_text,
              const RunOptions& options = RunOptions());
RunResult Run(const std::string& exe, const std::string& command_line_text,
              const std::string& current_dir);

// Starts `exe` (as the application name) with `raw_command_line` as the
// whole command line, program name included, exactly as given.
RunResult RunRaw(const std::string& exe, const std::string& raw_command_line,
                 const RunOptions& options = RunOptions());

// The same through CreateProcessW, as Explorer, services and msiexec start programs: `exe` as the
// application name, `raw_command_line` as the whole wide command line.
RunResult RunRawWide(const std::wstring& exe, const std::wstring& raw_command_line,
                     const RunOptions& options = RunOptions());

// An ANSI text (of the system's ANSI code page) in its wide form.
std::wstring Widen(const std::string& text);

// A text as a program writes it to a pipe or a file through the C runtime: a CR before every LF.
std::string ConsoleText(const std::string& text);

// Paths of the programs under test (MORDELT_EXE / SETUP_EXE, or beside this
// program).
std::string MordeltExe();
std::string SetupExe();
// Directory of conformance.exe, without a trailing backslash.
std::string TestProgramDir();
// An environment variable, or "" when it is not set.
std::string GetEnv(const char* name);
// A program of the system directory (GetSystemDirectoryA), and msiexec.exe there.
std::string SystemProgram(const std::string& file_name);
std::string SystemMsiexec();
// Whether this program runs under Wine (ntdll exports wine_get_version there).
bool UnderWine();
// Whether this is a 32-bit program on 64-bit Windows (WoW64).
bool RunsUnderWow64();
// Whether a start or a load failed because the machine's policy (AppLocker, code integrity)
// refuses programs or DLLs from that folder.
inline bool RefusedByPolicy(DWORD error) {
  const DWORD invalid_image_hash = 577;  // ERROR_INVALID_IMAGE_HASH: code integrity refused it
  return error == ERROR_ACCESS_DISABLED_BY_POLICY || error == invalid_image_hash;
}

// A job object that ends the processes given to it, and every process they start, when it is
// destroyed or End() is called.
class ProcessTree {
 public:
  ProcessTree();
  ~ProcessTree();
  ProcessTree(const ProcessTree&) = delete;
  ProcessTree& operator=(const ProcessTree&) = delete;

  // Puts a process (best started suspended) into the job; false, with GetLastError, when it fails.
  bool Adopt(HANDLE process);
  void End();

 private:
  HANDLE job_;
};

// Waits, up to `limit_ms`, while another installation holds Windows Installer's mutex
// (Global\_MSIExecute), so that an install does not fail with 1618 because of a background one;
// false when it is still held then.
bool WaitForOtherInstallations(DWORD limit_ms = 300000);

// ---------------------------------------------------------------------------
// Registry.
// ---------------------------------------------------------------------------

// Private key under HKEY_LOCAL_MACHINE that tests may create and remove.
constexpr const char* kTestKey = "Software\\MordeltConformance";

// Removes kTestKey (and all below it) when made and again when destroyed.
class ScopedTestKey {
 public:
  ScopedTestKey();
  ~ScopedTestKey();
  ScopedTestKey(const ScopedTestKey&) = delete;
  ScopedTestKey& operator=(const ScopedTestKey&) = delete;
};

// All paths are relative to HKEY_LOCAL_MACHINE.
bool KeyExists(const std::string& path);
bool CreateKey(const std::string& path);
bool DeleteKeyTree(const std::string& path);  // true also when it was absent
bool SetStringValue(const std::string& path, const std::string& name, const std::string& data);
// Reads a value as the registry holds it, a string's terminating zero included; false when the
// key or value does not exist.
bool ReadRawValue(const std::string& path, const std::string& name, DWORD* type,
                  std::string* bytes);
// Reads a value, a string without its terminating zero; false when the key or value does not
// exist.
bool ReadValue(const std::string& path, const std::string& name, DWORD* type, std::string* data);
bool ValueExists(const std::string& path, const std::string& name);

// ---------------------------------------------------------------------------
// Files.
// ---------------------------------------------------------------------------

// A fresh directory under the system's temporary directory, removed with
// everything in it when destroyed.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "\\" + name
  std::string File(const std::string& name) const;

 private:
  std::string path_;
};

bool WriteFileBytes(const std::string& path, const std::string& bytes);
bool ReadFileBytes(const std::string& path, std::string* bytes);
bool FileExists(const std::string& path);
bool RemoveTree(const std::string& path);

}  // namespace conformance

#endif  // TESTS_CONFORMANCE_HARNESS_H_
