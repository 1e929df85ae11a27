// Measures "-regfile" and "-delregfromfile" on the real registry: a generated registry script of
// N entries (100 values to a key) applied by Mordelt.exe, next to the system's reg.exe importing
// a .reg file that sets the same N values (or deletes them, each written "name"=-: the same work,
// value by value), and next to floors: the registry calls that Mordelt makes for the script, run
// in a loop in this process, and run by a program of their own without a window (this program,
// started again), once with the 8-bit forms that Mordelt uses and once with the 16-bit forms that
// reg.exe uses. Prints entries per second for each. A measurement, not a test.
//
//   regfile_bench.exe MORDELT_EXE WORK_DIR [ENTRIES [ROUNDS]]
//   regfile_bench.exe --calls set|delete 8|16 ENTRIES     (the floor program)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/desktop.h"

namespace {

const char kBenchKey[] = "Software\\MordeltBench";
constexpr int kValuesPerKey = 100;

std::string KeyPath(int entry) {
  char path[64];
  std::snprintf(path, sizeof path, "%s\\K%03d", kBenchKey, entry / kValuesPerKey);
  return path;
}
std::string ValueName(int entry) {
  char name[16];
  std::snprintf(name, sizeof name, "V%05d", entry);
  return name;
}
std::string Data(int entry) {
  char data[48];
  std::snprintf(data, sizeof data, "value %05d C:\\Program Files\\Bench", entry);
  return data;
}

double Now() {
  LARGE_INTEGER frequency, counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

bool WriteText(const std::string& path, const std::string& text) {
  FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  return std::fclose(file) == 0 && written;
}

// Starts the command line and waits for it; the exit code, or -1 when it did not start.
long RunAndWait(const std::string& application, std::string commandLine) {
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(application.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                      nullptr, &startup, &process)) {
    return -1;
  }
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return static_cast<long>(code);
}

// How many of the N values hold their data.
int CountValues(int entries) {
  int found = 0;
  for (int entry = 0; entry < entries; ++entry) {
    char buffer[64] = {};
    DWORD size = sizeof buffer;
    DWORD type = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, KeyPath(entry).c_str(), 0, KEY_QUERY_VALUE, &key) !=
        ERROR_SUCCESS) {
      continue;
    }
    if (RegQueryValueExA(key, ValueName(entry).c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(buffer), &size) == ERROR_SUCCESS &&
        type == REG_SZ && Data(entry) == buffer) {
      ++found;
    }
    RegCloseKey(key);
  }
  return found;
}

void RemoveBenchKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kBenchKey); }

// The registry calls in their 8-bit forms, as Mordelt makes them.
struct NarrowCalls {
  static bool Create(const std::string& path, HKEY* key) {
    return RegCreateKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, 0, nullptr, key,
                           nullptr) == ERROR_SUCCESS;
  }
  static bool Open(const std::string& path, HKEY* key) {
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_SET_VALUE, key) == ERROR_SUCCESS;
  }
  static void Set(HKEY key, const std::string& name, const std::string& data) {
    RegSetValueExA(key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>(data.size() + 1));
  }
  static void Delete(HKEY key, const std::string& name) { RegDeleteValueA(key, name.c_str()); }
};

// The same calls in their 16-bit forms, as reg.exe makes them (the texts here are ASCII).
struct WideCalls {
  static std::wstring Widened(const std::string& text) {
    return std::wstring(text.begin(), text.end());
  }
  static bool Create(const std::string& path, HKEY* key) {
    return RegCreateKeyExW(HKEY_LOCAL_MACHINE, Widened(path).c_str(), 0, nullptr, 0, 0, nullptr,
                           key, nullptr) == ERROR_SUCCESS;
  }
  static bool Open(const std::string& path, HKEY* key) {
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, Widened(path).c_str(), 0, KEY_SET_VALUE, key) ==
           ERROR_SUCCESS;
  }
  static void Set(HKEY key, const std::string& name, const std::string& data) {
    const std::wstring wide = Widened(data);
    RegSetValueExW(key, Widened(name).c_str(), 0, REG_SZ,
                   reinterpret_cast<const BYTE*>(wide.c_str()),
                   static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t)));
  }
  static void Delete(HKEY key, const std::string& name) {
    RegDeleteValueW(key, Widened(name).c_str());
  }
};

// The calls of Mordelt's "-regfile" (deleting: "-delregfromfile"): each key is prepared once
// (create, close, open) and held for its values.
template <typename Calls>
void FloorLoop(int entries, bool deleting) {
  HKEY key = nullptr;
  std::string held;
  for (int entry = 0; entry < entries; ++entry) {
    const std::string path = KeyPath(entry);
    if (key == nullptr || path != held) {
      if (key != nullptr) RegCloseKey(key);
      key = nullptr;
      HKEY created = nullptr;
      if (Calls::Create(path, &created)) RegCloseKey(created);
      if (!Calls::Open(path, &key)) {
        key = nullptr;
        continue;
      }
      held = path;
    }
    if (deleting) {
      Calls::Delete(key, ValueName(entry));
    } else {
      Calls::Set(key, ValueName(entry), Data(entry));
    }
  }
  if (key != nullptr) RegCloseKey(key);
}

// Sets the N values, untimed, before each deletion is measured.
void Populate(int entries) {
  RemoveBenchKey();
  FloorLoop<NarrowCalls>(entries, false);
}

void Report(const char* what, int entries, double seconds, int found, long exitCode) {
  std::printf("%-44s %8.3f s %10.0f entries/s  (values found %d/%d, exit code %ld)\n", what,
              seconds, entries / seconds, found, entries, exitCode);
}
void ReportDeletion(const char* what, int entries, double seconds, int left, long exitCode) {
  std::printf("%-44s %8.3f s %10.0f entries/s  (values left %d/%d, exit code %ld)\n", what, seconds,
              entries / seconds, left, entries, exitCode);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "--calls") {
    const bool deleting = std::string(argv[2]) == "delete";
    if (std::string(argv[3]) == "16") {
      FloorLoop<WideCalls>(std::atoi(argv[4]), deleting);
    } else {
      FloorLoop<NarrowCalls>(std::atoi(argv[4]), deleting);
    }
    return 0;
  }
  if (argc < 3) {
    std::fprintf(stderr, "usage: regfile_bench MORDELT_EXE WORK_DIR [ENTRIES [ROUNDS]]\n");
    return 2;
  }
  const std::string mordelt = argv[1];
  const std::string work = argv[2];
  const int entries = argc > 3 ? std::atoi(argv[3]) : 10000;
  const int rounds = argc > 4 ? std::atoi(argv[4]) : 3;

  std::string script;
  std::string regFile = "REGEDIT4\r\n";
  std::string deletions = "REGEDIT4\r\n";
  for (int entry = 0; entry < entries; ++entry) {
    script += "\"" + KeyPath(entry) + "\" \"" + ValueName(entry) + "\" \"" + Data(entry) + "\"\r\n";
    if (entry % kValuesPerKey == 0) {
      regFile += "\r\n[HKEY_LOCAL_MACHINE\\" + KeyPath(entry) + "]\r\n";
      deletions += "\r\n[HKEY_LOCAL_MACHINE\\" + KeyPath(entry) + "]\r\n";
    }
    std::string escaped;
    for (char c : Data(entry)) escaped += c == '\\' ? std::string("\\\\") : std::string(1, c);
    regFile += "\"" + ValueName(entry) + "\"=\"" + escaped + "\"\r\n";
    deletions += "\"" + ValueName(entry) + "\"=-\r\n";
  }
  const std::string scriptPath = work + "\\bench-values.txt";
  const std::string regPath = work + "\\bench-values.reg";
  const std::string deletionsPath = work + "\\bench-deletions.reg";
  const std::string emptyPath = work + "\\bench-empty.txt";
  if (!WriteText(scriptPath, script) || !WriteText(regPath, regFile) ||
      !WriteText(deletionsPath, deletions) || !WriteText(emptyPath, "")) {
    std::fprintf(stderr, "cannot write the files in %s\n", work.c_str());
    return 2;
  }
  std::printf("%d entries in %d keys\n", entries, (entries + kValuesPerKey - 1) / kValuesPerKey);

  bench::HoldDesktop();
  // Start-up cost of one Mordelt run, for reading the first figure.
  double start = Now();
  const long emptyCode = RunAndWait(mordelt, "Mordelt.exe -regfile*" + emptyPath);
  const double startup = Now() - start;
  std::printf("%-44s %8.3f s  (exit code %ld)\n", "Mordelt.exe -regfile, empty script", startup,
              emptyCode);

  // Each measurement is taken in several rounds, interleaved, and the best round counts: the
  // machine may be shared, and the best round is the one least disturbed.
  char system[MAX_PATH] = {};
  GetSystemDirectoryA(system, MAX_PATH);
  const std::string reg = std::string(system) + "\\reg.exe";
  char self[MAX_PATH] = {};
  GetModuleFileNameA(nullptr, self, MAX_PATH);
  const std::string count = std::to_string(entries);
  // 0-4: setting (Mordelt, reg import, floor in this process, floor program with the 8-bit and
  // with the 16-bit forms); 5-9: deleting (the same five).
  constexpr int kSlots = 10;
  double best[kSlots];
  int found[kSlots] = {};
  long codes[kSlots] = {};
  std::fill(best, best + kSlots, 1e9);
  auto measure = [&](int slot, void (*before)(int), auto run) {
    before(entries);
    Sleep(bench::kSettleMilliseconds);
    const double began = Now();
    codes[slot] = run();
    best[slot] = std::min(best[slot], Now() - began);
    found[slot] = CountValues(entries);
  };
  auto clear = [](int) { RemoveBenchKey(); };
  for (int round = 0; round < rounds; ++round) {
    for (int deleting = 0; deleting < 2; ++deleting) {
      void (*before)(int) = deleting ? Populate : +clear;
      const int first = deleting * 5;
      const char* verb = deleting ? "delete" : "set";
      measure(first, before, [&] {
        return RunAndWait(mordelt, std::string("Mordelt.exe ") +
                                       (deleting ? "-delregfromfile*" : "-regfile*") + scriptPath);
      });
      measure(first + 1, before, [&] {
        return RunAndWait(reg, "reg.exe import \"" + (deleting ? deletionsPath : regPath) + "\"");
      });
      measure(first + 2, before, [&] {
        FloorLoop<NarrowCalls>(entries, deleting != 0);
        return 0L;
      });
      measure(first + 3, before, [&] {
        return RunAndWait(self, std::string("regfile_bench.exe --calls ") + verb + " 8 " + count);
      });
      measure(first + 4, before, [&] {
        return RunAndWait(self, std::string("regfile_bench.exe --calls ") + verb + " 16 " + count);
      });
    }
  }
  std::printf("best of %d rounds:\n", rounds);
  Report("Mordelt.exe -regfile", entries, best[0], found[0], codes[0]);
  Report("reg.exe import", entries, best[1], found[1], codes[1]);
  Report("floor: the same calls in one process", entries, best[2], found[2], 0);
  Report("program: the same calls, 8-bit forms", entries, best[3], found[3], codes[3]);
  Report("program: the same calls, 16-bit forms", entries, best[4], found[4], codes[4]);
  ReportDeletion("Mordelt.exe -delregfromfile", entries, best[5], found[5], codes[5]);
  ReportDeletion("reg.exe import, deleting (\"name\"=-)", entries, best[6], found[6], codes[6]);
  ReportDeletion("floor: the deletion calls in one process", entries, best[7], found[7], 0);
  ReportDeletion("program: the deletion calls, 8-bit forms", entries, best[8], found[8], codes[8]);
  ReportDeletion("program: the deletion calls, 16-bit forms", entries, best[9], found[9], codes[9]);

  RemoveBenchKey();
  DeleteFileA(scriptPath.c_str());
  DeleteFileA(regPath.c_str());
  DeleteFileA(deletionsPath.c_str());
  DeleteFileA(emptyPath.c_str());
  return 0;
}
