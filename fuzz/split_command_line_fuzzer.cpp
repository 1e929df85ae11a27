// The command-line splitter in both programs' configurations (Mordelt: "*" cutting anywhere, no
// prefix, five slots; setup: "-" cutting only at the start of a word, prefix, ten slots), on a
// single-byte and a double-byte code page, with the heap refusing an allocation when the input says
// so. Each result is compared with a plain second splitter; every entry must be a block of exactly
// its length + 2 bytes ending in two NULs, and nothing may be written past the table.
//
// Input: one byte of settings (bit 0: double-byte code page; bits 1-4: which allocation fails,
// 0 for none), then the command-line text (up to its first NUL, as the system hands it over).

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "common/command_line.h"
#include "fuzz/fuzz_support.h"
#include "tests/fakes/call_log.h"
#include "tests/fakes/fake_code_page.h"
#include "tests/fakes/fake_memory.h"

namespace {

struct Configuration {
  char delimiter;
  bool rePrefix;
  common::DelimiterPlace place;
  int capacity;
};

void SplitAndCompare(const Configuration& configuration, const fakes::FakeCodePage& codePage,
                     const std::string& text, int failingAllocation) {
  fakes::CallLog log;
  fakes::FakeMemory memory(log);
  if (failingAllocation > 0) log.Fail("HeapAlloc", fakes::kDefaultFault, failingAllocation - 1);

  // The table has exactly its capacity, on the heap, so that a write past it is caught.
  std::unique_ptr<char*[]> table(new char*[static_cast<std::size_t>(configuration.capacity)]);
  const common::SplitResult result = common::SplitCommandLine(
      memory, codePage, text.c_str(), configuration.delimiter, configuration.rePrefix,
      configuration.place, table.get(), configuration.capacity);

  const std::vector<std::string> expected =
      fuzzing::ReferenceSplit(codePage, text, configuration.delimiter, configuration.rePrefix,
                              configuration.place == common::DelimiterPlace::AtWordStart);
  const int all = static_cast<int>(expected.size());
  const std::string where = std::string("delimiter ") + configuration.delimiter + ": ";

  int expectedCount = all < configuration.capacity ? all : configuration.capacity;
  common::SplitStatus expectedStatus = all > configuration.capacity
                                           ? common::SplitStatus::TooManyEntries
                                           : common::SplitStatus::Complete;
  if (failingAllocation > 0 && failingAllocation <= expectedCount) {
    expectedCount = failingAllocation - 1;
    expectedStatus = common::SplitStatus::OutOfMemory;
  }
  fuzzing::Require(result.count == expectedCount, where + "count " + std::to_string(result.count) +
                                                      ", expected " +
                                                      std::to_string(expectedCount));
  fuzzing::Require(result.status == expectedStatus, where + "status differs");
  fuzzing::Require(memory.LiveBlocks() == static_cast<std::size_t>(result.count),
                   where + "blocks other than the entries are live");
  for (int i = 0; i < result.count; ++i) {
    const char* entry = table[static_cast<std::size_t>(i)];
    const std::size_t length = std::strlen(entry);
    fuzzing::Require(std::string(entry) == expected[static_cast<std::size_t>(i)],
                     where + "entry " + std::to_string(i) + " differs");
    fuzzing::Require(memory.SizeOf(entry) == length + 2,
                     where + "entry block is not its length + 2 bytes");
    fuzzing::Require(entry[length + 1] == '\0', where + "entry lacks its second NUL");
  }
  fuzzing::Require(memory.BadFrees() == 0, where + "a block was freed that was not live");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t settings = data[0];
  // The text as WinMain gets it: a C string.
  const std::string bytes(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::string text(bytes.c_str());

  fakes::FakeCodePage codePage;
  if (settings & 1) codePage.UseShiftJis();
  const int failingAllocation = (settings >> 1) & 0x0F;

  SplitAndCompare({'*', false, common::DelimiterPlace::Anywhere, 5}, codePage, text,
                  failingAllocation);
  SplitAndCompare({'-', true, common::DelimiterPlace::AtWordStart, 10}, codePage, text,
                  failingAllocation);
  return 0;
}
