// The bad-input and load matrix: Mordelt.exe and setup.exe started with hostile command lines,
// script files, registry keys and loads, under Wine or on Windows. Each row prints one line of a
// table (what was given, the exit code, what changed, the figures) and checks that the outcome
// is the defined one and that nothing crashed.
//
//   matrix.exe MatrixQuick   the rows that take seconds (run by ctest)
//   matrix.exe Matrix        every row, also the load row (1,000,000 script entries)
//
// The rows use the registry key HKEY_LOCAL_MACHINE\Software\MordeltMatrix, removed before and
// after each row.
#include <windows.h>
// After windows.h, which they need.
#include <psapi.h>
#include <sddl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "tests/conformance/harness.h"
#include "tests/conformance/test_package.h"
#include "tests/unit/mordelt_usage.h"
#include "tests/unit/setup_texts.h"

namespace {

using conformance::MordeltExe;
using conformance::Run;
using conformance::RunResult;
using conformance::SetupExe;
using conformance::TempDir;

const char kMatrixKey[] = "Software\\MordeltMatrix";
const std::string kUsage = conformance::ConsoleText(testing_support::kMordeltUsage);
const std::string kSetupUsage = conformance::ConsoleText(testing_support::kSetupUsage);
const std::string kSetupUsageFirstLine = kSetupUsage.substr(0, kSetupUsage.find('\n') + 1);
const std::string kCommandTooLong = conformance::ConsoleText(testing_support::kCommandTooLong);

// Removes the matrix key with everything below it, when made and when destroyed.
class ScopedMatrixKey {
 public:
  ScopedMatrixKey() { conformance::DeleteKeyTree(kMatrixKey); }
  ~ScopedMatrixKey() { conformance::DeleteKeyTree(kMatrixKey); }
  ScopedMatrixKey(const ScopedMatrixKey&) = delete;
  ScopedMatrixKey& operator=(const ScopedMatrixKey&) = delete;
};

// The bytes of a string literal, NULs included, without its terminating zero.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

std::string Key(const std::string& below) { return std::string(kMatrixKey) + "\\" + below; }

// One line of the table.
void Row(const std::string& row, const std::string& given, DWORD exitCode,
         const std::string& outcome) {
  std::printf("| %s | %s | %lu | %s |\n", row.c_str(), given.c_str(),
              static_cast<unsigned long>(exitCode), outcome.c_str());
}

std::string Number(double value, const char* format = "%.0f") {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

std::string StringValue(const std::string& path, const std::string& name, bool* found) {
  DWORD type = 0;
  std::string data;
  *found = conformance::ReadValue(path, name, &type, &data) && type == REG_SZ;
  return data;
}

bool HasString(const std::string& path, const std::string& name, const std::string& text) {
  bool found = false;
  const std::string data = StringValue(path, name, &found);
  return found && data == text;
}

// A started child program: its handles, closed when done.
struct Child {
  PROCESS_INFORMATION process = {};
  bool started = false;
  ~Child() {
    if (process.hProcess != nullptr) CloseHandle(process.hProcess);
    if (process.hThread != nullptr) CloseHandle(process.hThread);
  }
};

// Starts `exe` with "\"exe\" text", no window, standard handles not inherited.
void Start(Child& child, const std::string& exe, const std::string& text,
           const std::string& directory = std::string()) {
  std::string commandLine = "\"" + exe + "\" " + text;
  std::vector<char> writable(commandLine.begin(), commandLine.end());
  writable.push_back('\0');
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  child.started =
      CreateProcessA(exe.c_str(), writable.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW,
                     nullptr, directory.empty() ? nullptr : directory.c_str(), &startup,
                     &child.process) != 0;
}

DWORD ExitCodeOf(const Child& child) {
  DWORD code = 0xFFFFFFFFu;
  GetExitCodeProcess(child.process.hProcess, &code);
  return code;
}

// Waits for the child and samples its peak working set meanwhile; returns the largest peak seen.
SIZE_T WaitMeasuringPeak(const Child& child) {
  SIZE_T peak = 0;
  for (;;) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(child.process.hProcess, &counters, sizeof counters)) {
      peak = std::max(peak, counters.PeakWorkingSetSize);
    }
    if (WaitForSingleObject(child.process.hProcess, 20) == WAIT_OBJECT_0) break;
  }
  return peak;
}

double Seconds(ULONGLONG startTicks) {
  return static_cast<double>(GetTickCount64() - startTicks) / 1000.0;
}

// A registry script of `entries` entries that cycle over `names` value names of one key.
std::string CyclingScript(const std::string& key, int entries, int names) {
  std::string script;
  script.reserve(static_cast<std::size_t>(entries) * 48);
  char line[160];
  for (int i = 0; i < entries; ++i) {
    std::snprintf(line, sizeof line, "\"%s\" \"v%d\" \"d%d\"\n", key.c_str(), i % names, i);
    script += line;
  }
  return script;
}

// ---------------------------------------------------------------------------------------------
// Command lines.
// ---------------------------------------------------------------------------------------------

CONFORMANCE_TEST(MatrixQuickCommandLineOf32767Characters) {
  ScopedMatrixKey key;
  // The whole command line, program name and terminating zero included, is 32,767 characters,
  // the most CreateProcess takes.
  const std::string exe = MordeltExe();
  const std::string head = "-add*" + Key("Long") + "*Name*";
  const std::size_t fixed = exe.size() + 3 + head.size() + 1;  // quotes, blank, zero
  const std::string data(32767 - fixed, 'd');
  const RunResult result = Run(exe, head + data);
  CHECK(result.started);
  CHECK_EQ(result.exit_code, 0u);
  CHECK(HasString(Key("Long"), "Name", data));
  Row("Mordelt, command line of 32,767 characters",
      "-add with " + Number(data.size()) + " characters of data", result.exit_code,
      HasString(Key("Long"), "Name", data) ? "value holds all of the data" : "value missing");

  // setup: an installer command that long is refused before anything starts.
  const std::string setupExe = SetupExe();
  const std::string package(32767 - (setupExe.size() + 3 + 3 + 1), 'p');
  const RunResult setup = Run(setupExe, "-i " + package);
  CHECK_EQ(setup.exit_code, 1u);
  CHECK_EQ(setup.output, kCommandTooLong);
  Row("setup, command line of 32,767 characters", "-i and a 32,750-character package",
      setup.exit_code, "refused with the too-long message, nothing started");
}

CONFORMANCE_TEST(MatrixQuickMoreEntriesThanTheTableHolds) {
  ScopedMatrixKey key;
  const RunResult six = Run(MordeltExe(), "-add*" + Key("Six") + "*Name*Value*x*y");
  CHECK_EQ(six.exit_code, 1u);
  CHECK_EQ(six.output, kUsage);
  CHECK(!conformance::KeyExists(Key("Six")));
  Row("Mordelt, six entries (table holds five)", "-add*K*Name*Value*x*y", six.exit_code,
      "usage text, nothing changed");

  const RunResult five = Run(MordeltExe(), "-add*" + Key("Five") + "*Name*Value*x");
  CHECK_EQ(five.exit_code, 0u);
  CHECK(HasString(Key("Five"), "Name", "Value"));
  Row("Mordelt, five entries", "-add*K*Name*Value*x", five.exit_code,
      "value set, the fourth argument ignored");

  std::string eleven;
  for (int i = 0; i < 11; ++i) eleven += "-s ";
  const RunResult setup = Run(SetupExe(), eleven);
  CHECK_EQ(setup.exit_code, 1u);
  CHECK_EQ(setup.output.compare(0, kSetupUsageFirstLine.size(), kSetupUsageFirstLine), 0);
  Row("setup, eleven entries (table holds ten)", "-s eleven times", setup.exit_code,
      "usage text, nothing started");
}

CONFORMANCE_TEST(MatrixQuickTabsQuotesAndHighBitBytes) {
  ScopedMatrixKey key;
  const std::string name = "\"Na\tme\"";
  const std::string data = "\xE9\xFF \"q\" \x80\x9F";
  const RunResult result =
      Run(MordeltExe(), "-add*\t" + Key("Bytes") + " \t* " + name + "\t*\t\x0B" + data + " \t");
  CHECK_EQ(result.exit_code, 0u);
  const bool stored = HasString(Key("Bytes"), name, data);
  CHECK(stored);
  Row("Mordelt, tabs, quotes and high-bit bytes",
      "-add with tab-padded fields, quoted name, "
      "bytes 0x80-0xFF",
      result.exit_code,
      stored ? "trimmed at both ends, quotes and bytes kept exactly" : "value differs");
}

CONFORMANCE_TEST(MatrixQuickEveryVerbWithTooFewArguments) {
  ScopedMatrixKey key;
  TempDir dir;
  const char* const lines[] = {
      "-add*K*N",           "-add",      "-importreg*import", "-delfile",  "-delregfromfile",
      "-delregkeyfromfile", "-cpfile*a", "-regfile",          "-delete*K", "-importreg"};
  int refused = 0;
  for (const char* line : lines) {
    const RunResult result = Run(MordeltExe(), line, dir.path());
    if (CHECK_EQ(result.exit_code, 1u) && CHECK_EQ(result.output, kUsage)) ++refused;
  }
  Row("Mordelt, every verb with too few arguments", "10 command lines", 1,
      Number(refused) + " of 10 gave the usage text and 1, nothing ran");
  // Verbs that need no argument.
  const RunResult hwid = Run(MordeltExe(), "-hwid", dir.path());
  CHECK_EQ(hwid.exit_code, 4u);
  Row("Mordelt, -hwid alone", "-hwid", hwid.exit_code, "no pattern, no query");
}

CONFORMANCE_TEST(MatrixQuickDelfileWhatTheDeletionAnswers) {
  TempDir dir;
  REQUIRE(conformance::WriteFileBytes(dir.File("ro.sys"), "x"));
  REQUIRE(SetFileAttributesA(dir.File("ro.sys").c_str(), FILE_ATTRIBUTE_READONLY) != 0);
  REQUIRE(CreateDirectoryA(dir.File("folder").c_str(), nullptr) != 0);
  struct Case {
    std::string path;
    DWORD expected;
    const char* what;
  };
  const Case cases[] = {
      {dir.File("ro.sys"), 0, "read-only file: removed"},
      {dir.File("missing.sys"), 0, "missing file"},
      {dir.File("no-dir\\missing.sys"), 0, "missing folder"},
      {dir.File("bad<name>|.sys"), 0, "invalid name"},
      {dir.File("folder"), 7, "a folder: still there"},
  };
  std::string outcome;
  for (const Case& c : cases) {
    const RunResult result = Run(MordeltExe(), "-delfile*" + c.path);
    CHECK_EQ(result.exit_code, c.expected);
    CHECK_EQ(result.output, "");
    // What the system says of the path now.
    SetLastError(0);
    const DWORD attributes = GetFileAttributesA(c.path.c_str());
    const DWORD error = attributes == INVALID_FILE_ATTRIBUTES ? GetLastError() : 0;
    outcome += std::string(outcome.empty() ? "" : "; ") + c.what + " " + Number(result.exit_code) +
               " (path now: " +
               (attributes == INVALID_FILE_ATTRIBUTES ? "error " + Number(error) : "exists") + ")";
  }
  Row("Mordelt -delfile, what the deletion answers", "5 paths", 0, outcome);
}

// ---------------------------------------------------------------------------------------------
// Script files.
// ---------------------------------------------------------------------------------------------

CONFORMANCE_TEST(MatrixQuickScriptWithA1MiBLine) {
  ScopedMatrixKey key;
  TempDir dir;
  const std::string head = "\"" + Key("Big") + "\" \"Data\" \"";
  const std::string data(1024 * 1024 - head.size() - 2, 'x');
  REQUIRE(conformance::WriteFileBytes(dir.File("big.txt"), head + data + "\"\n"));
  const ULONGLONG start = GetTickCount64();
  const RunResult result = Run(MordeltExe(), "-regfile*" + dir.File("big.txt"));
  CHECK_EQ(result.exit_code, 0u);
  const bool stored = HasString(Key("Big"), "Data", data);
  CHECK(stored);
  Row("Mordelt -regfile, one line of 1 MiB", Number(data.size()) + " bytes of data",
      result.exit_code,
      (stored ? std::string("value holds all of it (1 MiB of data)") : "value differs") + ", " +
          Number(Seconds(start), "%.1f") + " s");
}

CONFORMANCE_TEST(MatrixQuickScriptWithNulBytes) {
  ScopedMatrixKey key;
  TempDir dir;
  const std::string quotedKey = "\"" + Key("Nul") + "\"";
  const std::string script = quotedKey + Bytes(" \"A\0B\" \"x\"\n") + quotedKey +
                             " \"Second\" \"y\"\n" + Bytes("\0\0\0\n") + quotedKey +
                             " \"Third\" \"z\"\n";
  REQUIRE(conformance::WriteFileBytes(dir.File("zeros.txt"), script));
  const RunResult result = Run(MordeltExe(), "-regfile*" + dir.File("zeros.txt"));
  CHECK_EQ(result.exit_code, 0u);
  CHECK(!conformance::ValueExists(Key("Nul"), "A"));
  CHECK(HasString(Key("Nul"), "Second", "y"));
  CHECK(HasString(Key("Nul"), "Third", "z"));
  Row("Mordelt -regfile, NUL bytes in lines", "3 entries, NULs in the first line and between",
      result.exit_code, "a line ends at its NUL (its entry is dropped), the other entries set");
}

CONFORMANCE_TEST(MatrixQuickScriptThatIsABinaryFile) {
  ScopedMatrixKey key;
  TempDir dir;
  // 256 KiB of pseudo-random bytes without a backslash, so that no key path can arise from them;
  // then one entry, which must still be found.
  std::string bytes;
  std::uint32_t state = 12345;
  for (int i = 0; i < 256 * 1024; ++i) {
    state = state * 1103515245u + 12345u;
    char c = static_cast<char>(state >> 16);
    if (c == '\\') c = '/';
    bytes += c;
  }
  bytes += "\n\"" + Key("Binary") + "\" \"After\" \"ok\"\n";
  REQUIRE(conformance::WriteFileBytes(dir.File("binary.txt"), bytes));
  const RunResult set = Run(MordeltExe(), "-regfile*" + dir.File("binary.txt"));
  const RunResult remove = Run(MordeltExe(), "-delregfromfile*" + dir.File("binary.txt"));
  // A Ctrl-Z byte ends a text-mode file, so the entry after the noise may never be read.
  const bool ctrlZ = bytes.find('\x1A') != std::string::npos;
  CHECK_EQ(set.exit_code, 0u);
  CHECK_EQ(remove.exit_code, 0u);
  CHECK_EQ(set.output, "");
  Row("Mordelt -regfile / -delregfromfile, 256 KiB binary file", "random bytes, then one entry",
      set.exit_code,
      std::string("no crash, nothing written from the noise; ") +
          (ctrlZ ? "the file ends at its first Ctrl-Z byte, as text mode reads"
                 : "the entry after it set and removed") +
          "; -delregfromfile exit " + Number(remove.exit_code));
  // Mordelt.exe itself as a script, in delete mode (removes only values that exist).
  const RunResult exe = Run(MordeltExe(), "-delregfromfile*" + MordeltExe());
  CHECK(exe.exit_code == 0u || exe.exit_code == 6u);
  Row("Mordelt -delregfromfile, Mordelt.exe as the script", "a PE file", exe.exit_code, "no crash");
}

// Runs "-regfile" on a script of `entries` cycling entries and reports its peak working set.
void LoadRow(int entries) {
  ScopedMatrixKey key;
  TempDir dir;
  const int names = 1000;
  REQUIRE(conformance::WriteFileBytes(dir.File("load.txt"),
                                      CyclingScript(Key("Load"), entries, names)));
  Child child;
  const ULONGLONG start = GetTickCount64();
  Start(child, MordeltExe(), "-regfile*" + dir.File("load.txt"));
  REQUIRE(child.started);
  const SIZE_T peak = WaitMeasuringPeak(child);
  const double seconds = Seconds(start);
  const DWORD code = ExitCodeOf(child);
  CHECK_EQ(code, 0u);
  // Every name holds the data of its last entry.
  int right = 0;
  for (int n = 0; n < names; ++n) {
    const int last = ((entries - 1 - n) / names) * names + n;
    if (HasString(Key("Load"), "v" + std::to_string(n), "d" + std::to_string(last))) ++right;
  }
  CHECK_EQ(right, names);
  Row("Mordelt -regfile, " + Number(entries) + " entries", "1,000 names of one key, cycled", code,
      Number(right) + " values right; peak working set " +
          Number(static_cast<double>(peak) / 1024.0) + " KiB; " + Number(seconds, "%.1f") + " s (" +
          Number(entries / std::max(seconds, 0.001)) + " entries/s)");
}

CONFORMANCE_TEST(MatrixQuickScriptOf1000Entries) { LoadRow(1000); }
CONFORMANCE_TEST(MatrixLoadScriptOf1000000Entries) { LoadRow(1000000); }

CONFORMANCE_TEST(MatrixQuickScriptRemovedOrLockedWhileRead) {
  ScopedMatrixKey key;
  TempDir dir;
  const int entries = 20000;
  const std::string path = dir.File("busy.txt");
  REQUIRE(conformance::WriteFileBytes(path, CyclingScript(Key("Busy"), entries, 100)));

  // Removed while read: the C runtime opens the file without delete sharing.
  Child child;
  Start(child, MordeltExe(), "-regfile*" + path);
  REQUIRE(child.started);
  // Once the first value is there, the script is open and being read.
  while (!conformance::ValueExists(Key("Busy"), "v0") &&
         WaitForSingleObject(child.process.hProcess, 5) == WAIT_TIMEOUT) {
  }
  const bool running = WaitForSingleObject(child.process.hProcess, 0) == WAIT_TIMEOUT;
  const BOOL removed = DeleteFileA(path.c_str());
  const DWORD removeError = removed ? 0 : GetLastError();
  WaitForSingleObject(child.process.hProcess, INFINITE);
  const DWORD code = ExitCodeOf(child);
  CHECK_EQ(code, 0u);
  // The last entry names v99 with the data of entry 19,999.
  const bool whole = HasString(Key("Busy"), "v99", "d" + std::to_string(entries - 1));
  CHECK(whole);
  Row("Mordelt -regfile, file removed while read",
      std::string("DeleteFileA after the first entry was set") +
          (running ? "" : " (run already over)"),
      code,
      (removed ? std::string("removal allowed, the open stream read on")
               : "removal refused (error " + Number(removeError) + ")") +
          (whole ? "; all 20,000 entries applied" : "; entries missing"));

  // Locked: the whole file under an exclusive lock of this process before the run starts.
  ScopedMatrixKey again;
  const std::string lockedPath = dir.File("locked.txt");
  REQUIRE(conformance::WriteFileBytes(lockedPath, CyclingScript(Key("Locked"), 10, 10)));
  HANDLE file = CreateFileA(lockedPath.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
  REQUIRE(file != INVALID_HANDLE_VALUE);
  const BOOL locked = LockFile(file, 0, 0, 0xFFFFFFFFu, 0);
  const RunResult result = Run(MordeltExe(), "-regfile*" + lockedPath);
  if (locked) UnlockFile(file, 0, 0, 0xFFFFFFFFu, 0);
  CloseHandle(file);
  CHECK(result.exit_code == 0u);
  bool any = false;
  StringValue(Key("Locked"), "v0", &any);
  Row("Mordelt -regfile, file locked while read",
      locked ? "LockFile on all of it by another process" : "LockFile refused by the system",
      result.exit_code,
      any ? "the lock did not stop reading: entries set"
          : "reads fail, taken as the end of the file: nothing set, exit 0");
}

// ---------------------------------------------------------------------------------------------
// Registry.
// ---------------------------------------------------------------------------------------------

CONFORMANCE_TEST(MatrixQuickKeyThatDeniesSettingValues) {
  ScopedMatrixKey key;
  REQUIRE(conformance::CreateKey(kMatrixKey));
  // Everyone: KEY_SET_VALUE denied, everything else allowed.
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  REQUIRE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
      "D:(D;OICI;0x2;;;WD)(A;OICI;KA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
  SECURITY_ATTRIBUTES attributes = {sizeof attributes, descriptor, FALSE};
  HKEY denied = nullptr;
  const LONG created = RegCreateKeyExA(HKEY_LOCAL_MACHINE, Key("Denied").c_str(), 0, nullptr, 0,
                                       KEY_READ, &attributes, &denied, nullptr);
  LocalFree(descriptor);
  REQUIRE(created == ERROR_SUCCESS);
  RegCloseKey(denied);
  // The test itself cannot open it to set values either.
  HKEY probe = nullptr;
  const LONG probeResult =
      RegOpenKeyExA(HKEY_LOCAL_MACHINE, Key("Denied").c_str(), 0, KEY_SET_VALUE, &probe);
  if (probe != nullptr) RegCloseKey(probe);

  const RunResult add = Run(MordeltExe(), "-add*" + Key("Denied") + "*Name*Value");
  TempDir dir;
  REQUIRE(conformance::WriteFileBytes(dir.File("p.txt"), Key("Denied") + "\\Name\n"));
  const RunResult remove = Run(MordeltExe(), "-delregkeyfromfile*" + dir.File("p.txt"));
  if (probeResult == ERROR_SUCCESS) {
    // The system does not enforce the descriptor (as Wine's registry may not).
    Row("Mordelt, key denying KEY_SET_VALUE", "-add, -delregkeyfromfile", add.exit_code,
        "the system granted KEY_SET_VALUE despite the descriptor: not enforced here; "
        "-delregkeyfromfile exit " +
            Number(remove.exit_code));
    CHECK_EQ(add.exit_code, 0u);
    return;
  }
  CHECK_EQ(add.exit_code, 5u);
  CHECK_EQ(add.output, "");
  CHECK(!conformance::ValueExists(Key("Denied"), "Name"));
  CHECK_EQ(remove.exit_code, 6u);
  Row("Mordelt, key denying KEY_SET_VALUE", "-add, -delregkeyfromfile", add.exit_code,
      "-add 5 and no value; -delregkeyfromfile " + Number(remove.exit_code) + " with \"" +
          remove.output + "\" (open refused with " + Number(probeResult) + ")");
}

CONFORMANCE_TEST(MatrixQuickKeyPathOf300Components) {
  ScopedMatrixKey key;
  std::string path = Key("Deep");
  for (int i = 1; i <= 300; ++i) path += "\\c" + std::to_string(i);
  const RunResult result = Run(MordeltExe(), "-add*" + path + "*Name*Value");
  const bool stored = HasString(path, "Name", "Value");
  CHECK(result.exit_code == 0u || result.exit_code == 5u);
  CHECK_EQ(stored, result.exit_code == 0u);
  CHECK_EQ(result.output, "");
  // What the registry itself answers for that path, and the deepest path it takes.
  HKEY probe = nullptr;
  const LONG answer = RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_READ,
                                      nullptr, &probe, nullptr);
  if (probe != nullptr) RegCloseKey(probe);
  int deepest = 0;
  std::string prefix = Key("Probe");
  for (int i = 1; i <= 300; ++i) {
    prefix += "\\c" + std::to_string(i);
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, prefix.c_str(), 0, nullptr, 0, KEY_READ, nullptr, &key,
                        nullptr) != ERROR_SUCCESS) {
      break;
    }
    RegCloseKey(key);
    deepest = i;
  }
  Row("Mordelt -add, key path of 300 components", Number(path.size()) + " characters",
      result.exit_code,
      (stored
           ? std::string("all 300 keys created, value set")
           : "5: the registry refuses the path itself (RegCreateKeyExA answers " + Number(answer) +
                 "; it takes at most " + Number(deepest) + " components below the test key here)") +
          ", nothing written");
}

CONFORMANCE_TEST(MatrixQuickValueNamesOf255Characters) {
  ScopedMatrixKey key;
  const std::string name(255, 'n');
  const RunResult result = Run(MordeltExe(), "-add*" + Key("Names") + "*" + name + "*Value");
  CHECK_EQ(result.exit_code, 0u);
  CHECK(HasString(Key("Names"), name, "Value"));
  const std::string longer(256, 'n');
  const RunResult over = Run(MordeltExe(), "-add*" + Key("Names") + "*" + longer + "*Value");
  const bool overStored = HasString(Key("Names"), longer, "Value");
  CHECK(over.exit_code == 0u || over.exit_code == 5u);
  CHECK_EQ(overStored, over.exit_code == 0u);
  // Removal through a path file.
  TempDir dir;
  REQUIRE(conformance::WriteFileBytes(dir.File("p.txt"), Key("Names") + "\\" + name));
  const RunResult remove = Run(MordeltExe(), "-delregkeyfromfile*" + dir.File("p.txt"));
  CHECK_EQ(remove.exit_code, 0u);
  CHECK(!conformance::ValueExists(Key("Names"), name));
  Row("Mordelt, value name of 255 characters", "-add, then -delregkeyfromfile", result.exit_code,
      "set and removed; a 256-character name gives " + Number(over.exit_code) +
          (overStored ? " (stored by this registry)" : " (refused by the registry)"));
}

// ---------------------------------------------------------------------------------------------
// Concurrency.
// ---------------------------------------------------------------------------------------------

// Starts `count` Mordelt processes at once with the command lines `lines`, waits for all, and
// returns how many ended with 0.
int RunAtOnce(const std::vector<std::string>& lines, double* seconds) {
  std::vector<Child> children(lines.size());
  const ULONGLONG start = GetTickCount64();
  for (std::size_t i = 0; i < lines.size(); ++i) Start(children[i], MordeltExe(), lines[i]);
  int zero = 0;
  for (Child& child : children) {
    if (!child.started) continue;
    WaitForSingleObject(child.process.hProcess, INFINITE);
    if (ExitCodeOf(child) == 0) ++zero;
  }
  *seconds = Seconds(start);
  return zero;
}

void ConcurrentAdds(int count) {
  ScopedMatrixKey key;
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    lines.push_back("-add*" + Key("Together") + "*v" + std::to_string(i) + "*d" +
                    std::to_string(i));
  }
  double seconds = 0;
  const int zero = RunAtOnce(lines, &seconds);
  int present = 0;
  for (int i = 0; i < count; ++i) {
    if (HasString(Key("Together"), "v" + std::to_string(i), "d" + std::to_string(i))) ++present;
  }
  CHECK_EQ(zero, count);
  CHECK_EQ(present, count);
  Row(Number(count) + " Mordelt -add at once", "one key, a value each", 0,
      Number(zero) + " ended with 0, " + Number(present) + " values present, " +
          Number(seconds, "%.1f") + " s");
}

void ConcurrentScripts(int count, int entriesEach) {
  ScopedMatrixKey key;
  TempDir dir;
  std::vector<std::string> lines;
  for (int i = 0; i < count; ++i) {
    const std::string file = dir.File("s" + std::to_string(i) + ".txt");
    REQUIRE(conformance::WriteFileBytes(
        file, CyclingScript(Key("Scripts\\" + std::to_string(i)), entriesEach, entriesEach)));
    lines.push_back("-regfile*" + file);
  }
  double seconds = 0;
  const int zero = RunAtOnce(lines, &seconds);
  int present = 0;
  for (int i = 0; i < count; ++i) {
    for (int n = 0; n < entriesEach; ++n) {
      if (HasString(Key("Scripts\\" + std::to_string(i)), "v" + std::to_string(n),
                    "d" + std::to_string(n))) {
        ++present;
      }
    }
  }
  CHECK_EQ(zero, count);
  CHECK_EQ(present, count * entriesEach);
  Row(Number(count) + " Mordelt -regfile at once", Number(entriesEach) + " entries each, own keys",
      0,
      Number(zero) + " ended with 0, " + Number(present) + " of " + Number(count * entriesEach) +
          " entries present, " + Number(seconds, "%.1f") + " s");
}

CONFORMANCE_TEST(MatrixQuick64ProcessesAtOnce) {
  ConcurrentAdds(64);
  ConcurrentScripts(64, 100);
}

// ---------------------------------------------------------------------------------------------
// setup.
// ---------------------------------------------------------------------------------------------

// msiexec's verbose log, without its UTF-16 zero bytes, or "" when there is none.
std::string LogText(const std::string& path) {
  std::string bytes;
  if (!conformance::ReadFileBytes(path, &bytes)) return std::string();
  bytes.erase(std::remove(bytes.begin(), bytes.end(), '\0'), bytes.end());
  return bytes;
}

using conformance::InstalledFile;
using conformance::PackageSource;
using conformance::ScopedProductRemoval;

CONFORMANCE_TEST(MatrixQuickSetupPackageNameWithBlanks) {
  ScopedProductRemoval removal;
  TempDir dir;
  REQUIRE(CopyFileA(PackageSource().c_str(), dir.File("My Product.msi").c_str(), FALSE) != 0);
  const RunResult result = Run(SetupExe(), "-s -l setup.log", dir.path());
  CHECK_EQ(result.exit_code, 0u);
  CHECK_EQ(result.output, "");
  const bool installed = conformance::FileExists(InstalledFile());
  CHECK(installed);
  Row("setup, package name with blanks", "\"My Product.msi\" discovered, -s -l setup.log",
      result.exit_code,
      std::string("name passed in double quotes; msiexec ") +
          (installed ? "installed it" : "did not install it") + ", log " +
          (LogText(dir.File("setup.log")).empty() ? "not written" : "written"));
}

CONFORMANCE_TEST(MatrixQuickSetupWith1000Packages) {
  ScopedProductRemoval removal;
  TempDir dir;
  for (int i = 0; i < 1000; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "p%04d.msi", i);
    REQUIRE(CopyFileA(PackageSource().c_str(), dir.File(name).c_str(), FALSE) != 0);
  }
  const ULONGLONG start = GetTickCount64();
  const RunResult result = Run(SetupExe(), "-s -l setup.log", dir.path());
  const double seconds = Seconds(start);
  CHECK_EQ(result.exit_code, 0u);
  CHECK_EQ(result.output, "");
  CHECK(conformance::FileExists(InstalledFile()));
  // msiexec's log names the one package it was given.
  const std::string log = LogText(dir.File("setup.log"));
  std::string named = "?";
  for (std::size_t at = log.find(".msi"); at != std::string::npos; at = log.find(".msi", at + 1)) {
    if (at >= 5 && log[at - 5] == 'p') {
      named = log.substr(at - 5, 9);
      break;
    }
  }
  Row("setup, 1,000 *.msi in the current directory", "-s -l setup.log", result.exit_code,
      "one package installed (" + named + ", the first the directory search lists), " +
          Number(seconds, "%.1f") + " s");
}

CONFORMANCE_TEST(MatrixQuickSetupInstallerCommandOf2047And2048Characters) {
  TempDir dir;
  // "msiexec " + " /i " + the text after "-i": 12 characters and the package text.
  const std::string fits(2047 - 12, 'a');
  const RunResult run = Run(SetupExe(), "-i" + fits, dir.path());
  CHECK_EQ(run.exit_code, 0u);
  CHECK_EQ(run.output, "");
  const std::string over(2048 - 12, 'a');
  const RunResult refused = Run(SetupExe(), "-i" + over, dir.path());
  CHECK_EQ(refused.exit_code, 1u);
  CHECK_EQ(refused.output, kCommandTooLong);
  Row("setup, installer command of 2,047 characters", "-i and 2,035 characters", run.exit_code,
      "msiexec started (it judges the missing package), nothing written");
  Row("setup, installer command of 2,048 characters", "-i and 2,036 characters", refused.exit_code,
      "refused with the too-long message, nothing started");
}

}  // namespace
