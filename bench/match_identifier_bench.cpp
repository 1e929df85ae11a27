// Measures MatchIdentifier, natively: calls per second on realistic device identifiers against
// the patterns that "-hwid" makes, and on a worst case (a long identifier, many segments, each
// missed at almost every position before it is found). A measurement, not a test.
//
//   match_identifier_bench [RUNS]
//
// Output: one tab-separated line per row, as scripts/bench.sh expects:
//   row <TAB> measurement <TAB> runs <TAB> median <TAB> min <TAB> max <TAB> comparison
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "mordelt/identifier_pattern.h"
#include "platform/code_page.h"

namespace {

// The single-byte code page of a Western system: no byte leads a double-byte character.
class SingleByteCodePage final : public platform::CodePage {
 public:
  bool IsDBCSLeadByte(unsigned char /*byte*/) const override { return false; }
  bool IsUtf8() const override { return false; }
  bool IsValidMultiByte(const char*, std::size_t) const override { return true; }
  // The benchmark converts no wide text.
  platform::AnsiConversion WideToAnsi(const wchar_t*, std::size_t, char*,
                                      std::size_t) const override {
    return {};
  }
  bool EqualIgnoringCase(const wchar_t*, const wchar_t*, std::size_t) const override {
    return false;
  }
};

// Hardware and compatible identifiers as Windows reports them for common devices.
const char* const kIdentifiers[] = {
    "PCI\\VEN_8086&DEV_A370&SUBSYS_00748086&REV_10",
    "PCI\\VEN_8086&DEV_A370&SUBSYS_00748086",
    "PCI\\VEN_8086&DEV_A370&CC_028000",
    "PCI\\VEN_8086&DEV_A370&CC_0280",
    "PCI\\VEN_10DE&DEV_1F82&SUBSYS_37FE1458&REV_A1",
    "PCI\\VEN_10DE&DEV_1F82&REV_A1",
    "PCI\\CC_030000",
    "USB\\VID_046D&PID_C52B&REV_1211&MI_02",
    "USB\\VID_046D&PID_C52B&MI_02",
    "USB\\Class_03&SubClass_00&Prot_00",
    "USB\\COMPOSITE",
    "HID\\VID_046D&PID_C52B&REV_1211&MI_02&Col01",
    "HID_DEVICE_SYSTEM_MOUSE",
    "HID_DEVICE_UP:0001_U:0002",
    "ACPI\\PNP0501",
    "*PNP0501",
    "ACPI\\VEN_INT&DEV_33A1",
    "ROOT\\WINEBUS",
    "MONITOR\\Default_Monitor",
    "STORAGE\\Volume",
};

// Patterns as "-hwid" makes them from "#..." arguments: a leading "*", then the tail.
const char* const kPatterns[] = {
    "*PCI\\VEN_8086&DEV_A370",  "*VEN_10DE&DEV_1F82&SUBSYS_37FE1458&REV_A1",
    "*USB\\VID_046D&PID_C52B",  "*PNP0501",
    "*HID_DEVICE_SYSTEM_MOUSE", "*",
};

struct Case {
  std::string identifier;
  std::string pattern;
};

// A long identifier and a pattern of many segments: before each segment "aaa...ab" is found,
// every position of a run of "a" almost matches it.
void WorstCase(Case* worst, int* segments, std::size_t* length) {
  const int kSegments = 32;
  const int kSegmentLength = 16;
  const std::string segment = std::string(kSegmentLength - 1, 'a') + "b";
  std::string identifier;
  std::string pattern = "*";
  for (int i = 0; i < kSegments; ++i) {
    identifier += std::string(3 * kSegmentLength, 'a') + segment;
    pattern += segment + "*";
  }
  identifier += "&REV_00";
  pattern += "&REV_00";
  worst->identifier = identifier;
  worst->pattern = pattern;
  *segments = kSegments;
  *length = identifier.size();
}

struct Throughput {
  std::vector<double> perSecond;
  long matches = 0;
};

// Runs the cases for about `budget` seconds, `runs` times; each run yields calls per second.
Throughput Measure(const std::vector<Case>& cases, int runs, double budget) {
  SingleByteCodePage codePage;
  std::vector<mordelt::IdentifierPattern> patterns;
  patterns.reserve(cases.size());
  for (const Case& c : cases) {
    patterns.push_back(mordelt::ParseIdentifierPattern(codePage, c.pattern.c_str()));
  }
  Throughput result;
  using Clock = std::chrono::steady_clock;
  for (int run = 0; run < runs; ++run) {
    long calls = 0;
    long matches = 0;
    const Clock::time_point start = Clock::now();
    double elapsed = 0;
    do {
      for (std::size_t i = 0; i < cases.size(); ++i) {
        matches += mordelt::MatchIdentifier(codePage, cases[i].identifier.c_str(), patterns[i]);
      }
      calls += static_cast<long>(cases.size());
      elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    } while (elapsed < budget);
    result.perSecond.push_back(static_cast<double>(calls) / elapsed);
    result.matches = matches;
  }
  return result;
}

std::string Rate(double perSecond) {
  char text[32];
  if (perSecond >= 1e6) {
    std::snprintf(text, sizeof text, "%.2f M/s", perSecond / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.1f k/s", perSecond / 1e3);
  }
  return text;
}

void PrintRow(const std::string& measurement, std::vector<double> values,
              const std::string& comparison) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  const double median = n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  std::printf("row\t%s\t%zu\t%s\t%s\t%s\t%s\n", measurement.c_str(), n, Rate(median).c_str(),
              Rate(values.front()).c_str(), Rate(values.back()).c_str(), comparison.c_str());
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 == 1 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 9;

  std::vector<Case> realistic;
  for (const char* pattern : kPatterns) {
    for (const char* identifier : kIdentifiers) realistic.push_back({identifier, pattern});
  }
  Case worst;
  int segments = 0;
  std::size_t length = 0;
  WorstCase(&worst, &segments, &length);

  const Throughput common = Measure(realistic, runs, 0.2);
  const Throughput hard = Measure({worst}, runs, 0.2);
  if (hard.matches == 0) {
    std::fprintf(stderr, "match_identifier_bench: the worst case must match\n");
    return 1;
  }

  char name[160];
  std::snprintf(name, sizeof name,
                "native: MatchIdentifier, realistic identifiers (%zu patterns x %zu identifiers)",
                sizeof kPatterns / sizeof kPatterns[0],
                sizeof kIdentifiers / sizeof kIdentifiers[0]);
  PrintRow(name, common.perSecond, "reference");
  std::snprintf(name, sizeof name,
                "native: MatchIdentifier, worst case (%zu-byte identifier, %d segments)", length,
                segments);
  char comparison[64];
  std::snprintf(comparison, sizeof comparison, "1/%.0f of the realistic rate",
                Median(common.perSecond) / Median(hard.perSecond));
  PrintRow(name, hard.perSecond, comparison);
  return 0;
}
