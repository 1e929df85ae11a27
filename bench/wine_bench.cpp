// Measures Mordelt.exe against floors and against the system's own tools, on the machine it runs
// on (under Wine here, or on Windows). A measurement, not a test: it prints figures, and fails
// only when it cannot measure at all.
//
//   wine_bench.exe [RUNS]
//
// Finds Mordelt.exe, floor_return.exe, floor_window.exe and floor_walk.exe beside itself. Every
// figure is the median of RUNS runs (default 21) with the minimum and the maximum; the programs
// compared in one row group are run in turn, one run of each per round, so that a slow phase of
// the machine weighs on all of them alike. Ratios are taken between medians of this same run.
// A hidden window of this program holds Wine's desktop for the whole measurement, and each run
// starts after a short pause (bench/desktop.h).
//
// Output: one line per row, fields separated by tabs, for scripts/bench.sh to lay out:
//   row <TAB> measurement <TAB> runs <TAB> median <TAB> min <TAB> max <TAB> comparison
//   na  <TAB> measurement <TAB> reason
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "bench/desktop.h"
#include "bench/device_walk.h"

namespace {

const char kBenchKey[] = "SOFTWARE\\MordeltBench";

double Now() {
  LARGE_INTEGER frequency;
  LARGE_INTEGER counter;
  QueryPerformanceFrequency(&frequency);
  QueryPerformanceCounter(&counter);
  return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

std::string ProgramDir() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, length);
  const std::size_t slash = dir.find_last_of('\\');
  return slash == std::string::npos ? std::string(".") : dir.substr(0, slash);
}

std::string SystemDir() {
  char path[MAX_PATH] = {};
  GetSystemDirectoryA(path, MAX_PATH);
  return path;
}

// One program run: its wall time from CreateProcessA to its end, and its exit code.
struct Timing {
  bool started = false;
  DWORD exitCode = 0;
  double seconds = 0;
};

// Starts `application` with the command line "<quoted application> <arguments>", its standard
// handles on the null device, and waits for it to end.
Timing TimeRun(const std::string& application, const std::string& arguments) {
  SECURITY_ATTRIBUTES inherit = {sizeof inherit, nullptr, TRUE};
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                           &inherit, OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = nul;
  startup.hStdError = nul;
  PROCESS_INFORMATION process = {};
  std::string commandLine = "\"" + application + "\"";
  if (!arguments.empty()) commandLine += " " + arguments;

  Timing timing;
  const double start = Now();
  if (CreateProcessA(application.c_str(), &commandLine[0], nullptr, nullptr, TRUE, 0, nullptr,
                     nullptr, &startup, &process)) {
    WaitForSingleObject(process.hProcess, INFINITE);
    timing.seconds = Now() - start;
    timing.started = true;
    GetExitCodeProcess(process.hProcess, &timing.exitCode);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
  }
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  return timing;
}

// Median, minimum and maximum of a list of seconds.
struct Summary {
  double median = 0;
  double min = 0;
  double max = 0;
  int runs = 0;
};

Summary Summarize(std::vector<double> seconds) {
  Summary summary;
  if (seconds.empty()) return summary;
  std::sort(seconds.begin(), seconds.end());
  const std::size_t n = seconds.size();
  summary.median = n % 2 == 1 ? seconds[n / 2] : (seconds[n / 2 - 1] + seconds[n / 2]) / 2;
  summary.min = seconds.front();
  summary.max = seconds.back();
  summary.runs = static_cast<int>(n);
  return summary;
}

std::string Milliseconds(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f ms", seconds * 1000.0);
  return text;
}

std::string Ratio(double value, double reference) {
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", reference > 0 ? value / reference : 0.0);
  return text;
}

void PrintRow(const std::string& measurement, const Summary& summary,
              const std::string& comparison) {
  std::printf("row\t%s\t%d\t%s\t%s\t%s\t%s\n", measurement.c_str(), summary.runs,
              Milliseconds(summary.median).c_str(), Milliseconds(summary.min).c_str(),
              Milliseconds(summary.max).c_str(), comparison.c_str());
}

void PrintUnavailable(const std::string& measurement, const std::string& reason) {
  std::printf("na\t%s\t%s\n", measurement.c_str(), reason.c_str());
}

// ---------------------------------------------------------------------------
// Registry helpers for the "-add" row.
// ---------------------------------------------------------------------------

void RemoveBenchKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, kBenchKey); }

bool BenchValueIs(const char* name, const char* data) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kBenchKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
    return false;
  }
  char buffer[256] = {};
  DWORD size = sizeof buffer - 1;
  DWORD type = 0;
  const bool same = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer),
                                     &size) == ERROR_SUCCESS &&
                    type == REG_SZ && std::strcmp(buffer, data) == 0;
  RegCloseKey(key);
  return same;
}

// ---------------------------------------------------------------------------
// Row groups.
// ---------------------------------------------------------------------------

struct Candidate {
  Candidate(std::string measurementName, std::string applicationPath, std::string argumentText,
            DWORD exitCode)
      : measurement(std::move(measurementName)),
        application(std::move(applicationPath)),
        arguments(std::move(argumentText)),
        expectedExit(exitCode) {}

  std::string measurement;
  std::string application;
  std::string arguments;
  DWORD expectedExit;
  std::vector<double> seconds;
  bool failed = false;
  std::string failure;
};

// Runs every candidate once per round, `runs` rounds; `beforeEach` runs before each run.
void TimeInTurn(std::vector<Candidate>& candidates, int runs, void (*beforeEach)()) {
  for (int round = 0; round < runs; ++round) {
    for (Candidate& candidate : candidates) {
      if (candidate.failed) continue;
      if (beforeEach != nullptr) beforeEach();
      Sleep(bench::kSettleMilliseconds);
      const Timing timing = TimeRun(candidate.application, candidate.arguments);
      if (!timing.started) {
        candidate.failed = true;
        candidate.failure = "could not be started";
      } else if (timing.exitCode != candidate.expectedExit) {
        candidate.failed = true;
        candidate.failure = "exit code " + std::to_string(timing.exitCode) + ", not " +
                            std::to_string(candidate.expectedExit);
      } else {
        candidate.seconds.push_back(timing.seconds);
      }
    }
  }
}

void StartUpRows(const std::string& dir, int runs) {
  const std::string mordelt = dir + "\\Mordelt.exe";
  const std::string addArguments = std::string("-add*") + kBenchKey + "*Name*Value";
  const std::string regArguments = std::string("add HKLM\\") + kBenchKey + " /v Name /d Value /f";

  // "-add" is measured only when it does what it says in this build.
  RemoveBenchKey();
  const Timing probe = TimeRun(mordelt, addArguments);
  const bool addWorks = probe.started && probe.exitCode == 0 && BenchValueIs("Name", "Value");
  RemoveBenchKey();

  std::vector<Candidate> candidates = {
      {"start-up: floor, a static program that returns 0", dir + "\\floor_return.exe", "", 0},
      {"start-up: floor, class and hidden window", dir + "\\floor_window.exe", "", 0},
      {"start-up: Mordelt, empty command line", mordelt, "", 0},
      {"start-up: Mordelt -add (one value)", mordelt, addArguments, 0},
      {"start-up: reg add (the same value)", SystemDir() + "\\reg.exe", regArguments, 0},
  };
  if (!addWorks) {
    candidates[3].failed = true;
    candidates[3].failure = "-add does not set the value in this build";
  }
  // Each run writes the value anew into a key that does not exist yet.
  TimeInTurn(candidates, runs, RemoveBenchKey);
  RemoveBenchKey();

  Summary summaries[5];
  for (int i = 0; i < 5; ++i) summaries[i] = Summarize(candidates[i].seconds);
  const bool have[5] = {!candidates[0].failed, !candidates[1].failed, !candidates[2].failed,
                        !candidates[3].failed, !candidates[4].failed};
  auto row = [&](int i, const std::string& comparison) {
    if (have[i]) {
      PrintRow(candidates[i].measurement, summaries[i], comparison);
    } else {
      PrintUnavailable(candidates[i].measurement, candidates[i].failure);
    }
  };
  row(0, "1.00 (reference)");
  row(1, have[0] ? Ratio(summaries[1].median, summaries[0].median) + " x the static floor" : "");
  row(2, have[1] ? Ratio(summaries[2].median, summaries[1].median) + " x the window floor" : "");
  std::string addComparison;
  if (have[1])
    addComparison = Ratio(summaries[3].median, summaries[1].median) + " x the window floor";
  if (have[4]) {
    addComparison += (addComparison.empty() ? "" : "; ") +
                     Ratio(summaries[3].median, summaries[4].median) + " x reg add";
  }
  row(3, addComparison);
  row(4, have[3] ? Ratio(summaries[4].median, summaries[3].median) + " x Mordelt -add" : "");
}

void DeviceWalkRows(const std::string& dir, int runs) {
  const std::string mordelt = dir + "\\Mordelt.exe";
  // No device has an identifier that ends with this text, so every device is walked.
  const std::string hwid = std::string("-hwid*#") + bench::NoSuchDeviceTail();

  bool matched = false;
  const int devices = bench::WalkPresentDevices(bench::NoSuchDeviceTail(), &matched);
  std::vector<Candidate> candidates = {
      {"-hwid, pattern that matches nothing (full walk)", mordelt, hwid, 4},
      {"floor: hidden window + the same walk against SetupAPI", dir + "\\floor_walk.exe", "", 4},
  };
  TimeInTurn(candidates, runs, nullptr);

  std::vector<double> walks;
  for (int round = 0; round < runs && devices >= 0; ++round) {
    const double start = Now();
    bench::WalkPresentDevices(bench::NoSuchDeviceTail(), &matched);
    walks.push_back(Now() - start);
  }
  const Summary hwidSummary = Summarize(candidates[0].seconds);
  const Summary floorSummary = Summarize(candidates[1].seconds);
  const Summary walkSummary = Summarize(walks);

  if (candidates[0].failed) {
    PrintUnavailable(candidates[0].measurement, candidates[0].failure);
  } else {
    PrintRow(candidates[0].measurement, hwidSummary,
             candidates[1].failed
                 ? std::string()
                 : Ratio(hwidSummary.median, floorSummary.median) + " x the walk floor");
  }
  if (candidates[1].failed) {
    PrintUnavailable(candidates[1].measurement, candidates[1].failure);
  } else {
    PrintRow(candidates[1].measurement, floorSummary, "reference");
  }
  const std::string walkName =
      "the walk alone, inside one process (" + std::to_string(devices) + " present devices)";
  if (devices < 0) {
    PrintUnavailable(walkName, "SetupDiGetClassDevsExA failed");
  } else {
    PrintRow(walkName, walkSummary, "part of both figures above");
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 21;
  const std::string dir = ProgramDir();
  bench::HoldDesktop();
  StartUpRows(dir, runs);
  DeviceWalkRows(dir, runs);
  std::fflush(stdout);
  return 0;
}
