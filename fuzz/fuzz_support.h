#pragma once

// Shared pieces of the fuzz targets: how a finding is reported, how the input plans faults of
// the fakes, and a plain second splitter of command lines to compare the program's with.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/multibyte.h"
#include "platform/code_page.h"
#include "tests/fakes/call_log.h"
#include "tests/unit/identifier_reference.h"

namespace fuzzing {

// Ends the run as a finding: says what was wrong and aborts, so that libFuzzer keeps the input.
[[noreturn]] inline void Finding(const std::string& what) {
  std::fprintf(stderr, "FINDING: %s\n", what.c_str());
  std::fflush(stderr);
  std::abort();
}

inline void Require(bool condition, const std::string& what) {
  if (!condition) Finding(what);
}

// Errors a failing fake call may be told to answer with: its usual one first, then codes that
// the system's calls give (file not found, access denied, invalid handle, not enough memory,
// invalid parameter, insufficient buffer, no more items, key deleted, SetupAPI's no such
// device instance, CR_FAILURE-like small codes).
inline std::uint32_t PickError(FuzzedDataProvider& input) {
  static const std::uint32_t kErrors[] = {fakes::kDefaultFault, 2, 5,  6,   8, 87, 122, 259, 1018,
                                          0xE000020Bu,          1, 19, 0x1A};
  return input.PickValueInArray(kErrors);
}

// Plans up to `maxFaults` failing calls, each by its position among the calls of the run and
// with an error from PickError; with `allowExhaustion`, the heap may also be exhausted from
// some allocation on (every later allocation fails too, as on a real machine).
inline void PlanFaults(FuzzedDataProvider& input, fakes::CallLog& log, int maxFaults,
                       std::size_t maxPosition, bool allowExhaustion) {
  const int faults = input.ConsumeIntegralInRange<int>(0, maxFaults);
  for (int i = 0; i < faults; ++i) {
    const std::size_t position = input.ConsumeIntegralInRange<std::size_t>(0, maxPosition);
    log.FailAt(position, PickError(input));
  }
  if (allowExhaustion && input.ConsumeBool() && input.ConsumeBool()) {
    log.FailFrom("HeapAlloc", input.ConsumeIntegralInRange<int>(0, 64));
  }
}

// The characters of a text: one byte, or a lead byte of the code page with the byte after it.
using reference::Characters;

inline bool IsBlank(const std::string& c) {
  return c.size() == 1 && (c[0] == ' ' || (c[0] >= '\t' && c[0] <= '\r'));
}

// Every entry of a command line (no capacity): tokens between the delimiter characters that cut,
// trimmed of white space, blank ones dropped, with the delimiter put in front when `rePrefix`.
// Every delimiter character cuts, or with `atWordStart` only one that is the first character,
// or follows a blank, a tab or a delimiter that cut.
inline std::vector<std::string> ReferenceSplit(const platform::CodePage& codePage,
                                               const std::string& text, char delimiter,
                                               bool rePrefix, bool atWordStart) {
  std::vector<std::string> entries;
  std::vector<std::vector<std::string>> tokens(1);
  std::string previous;  // the character before, "" at the start
  bool previousCut = false;
  for (const std::string& c : Characters(codePage, text)) {
    const bool cuts =
        c.size() == 1 && c[0] == delimiter &&
        (!atWordStart || previous.empty() || previous == " " || previous == "\t" || previousCut);
    if (cuts) {
      tokens.emplace_back();
    } else {
      tokens.back().push_back(c);
    }
    previous = c;
    previousCut = cuts;
  }
  for (const std::vector<std::string>& token : tokens) {
    std::size_t begin = 0;
    std::size_t end = token.size();
    while (end > begin && IsBlank(token[end - 1])) --end;
    while (begin < end && IsBlank(token[begin])) ++begin;
    if (begin == end) continue;
    std::string entry = rePrefix ? std::string(1, delimiter) : std::string();
    for (std::size_t i = begin; i < end; ++i) entry += token[i];
    entries.push_back(entry);
  }
  return entries;
}

// How many allocations were made and not refused before the first call named `name`: the blocks
// the splitter made before the shell went on.
inline std::size_t AllocationsBefore(const fakes::CallLog& log, const std::string& name) {
  std::size_t count = 0;
  for (const fakes::Call& call : log.calls()) {
    if (call.name == name) break;
    if (call.name == "HeapAlloc" && !call.failed) ++count;
  }
  return count;
}

}  // namespace fuzzing
