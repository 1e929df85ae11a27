// Device identifier patterns: parsing and matching of one identifier, and of the identifier list
// that a multi-string index gives, against the plain reference matcher of the unit tests, on a
// single-byte or a double-byte code page. Any disagreement is a finding. Every text lies in a
// block of exactly its size, so that a read past its end is caught.

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mordelt/identifier_pattern.h"
#include "mordelt/multi_string.h"
#include "tests/fakes/fake_code_page.h"
#include "tests/fakes/fake_memory.h"
#include "tests/unit/identifier_reference.h"

namespace {

// A NUL-terminated copy of `text` in a block of exactly its length + 1.
std::unique_ptr<char[]> ExactCopy(const std::string& text) {
  std::unique_ptr<char[]> copy(new char[text.size() + 1]);
  std::memcpy(copy.get(), text.c_str(), text.size() + 1);
  return copy;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  fakes::FakeCodePage codePage;
  if (input.ConsumeBool()) codePage.UseShiftJis();
  const std::string patternText(input.ConsumeRandomLengthString(256).c_str());
  const std::string identifierText(input.ConsumeRandomLengthString(512).c_str());
  const std::string listBytes = input.ConsumeRemainingBytesAsString();

  const std::unique_ptr<char[]> argument = ExactCopy(patternText);
  const std::unique_ptr<char[]> identifier = ExactCopy(identifierText);
  const mordelt::IdentifierPattern pattern =
      mordelt::ParseIdentifierPattern(codePage, argument.get());
  const reference::Pattern expected = reference::Parse(codePage, patternText);

  // The parsed form points into the argument.
  const char* const begin = argument.get();
  const char* const end = begin + patternText.size();
  fuzzing::Require(pattern.text >= begin && pattern.text <= end, "Text outside the argument");
  fuzzing::Require(pattern.byInstanceId == (expected.byInstanceId ? 1 : 0), "byInstanceId differs");
  std::string referenceText;
  for (const std::string& c : expected.text) referenceText += c;
  fuzzing::Require(std::string(pattern.text) == referenceText, "Text differs");
  fuzzing::Require((pattern.firstWildcard != nullptr) == expected.wildcards,
                   "wildcard presence differs");
  if (pattern.firstWildcard != nullptr) {
    fuzzing::Require(pattern.firstWildcard >= pattern.text && pattern.firstWildcard < end &&
                         *pattern.firstWildcard == '*',
                     "firstWildcard is not a \"*\" of Text");
  }

  const int match = mordelt::MatchIdentifier(codePage, identifier.get(), pattern);
  const bool expectedMatch = reference::Match(codePage, identifierText, expected);
  fuzzing::Require(match == (expectedMatch ? 1 : 0),
                   "MatchIdentifier gives " + std::to_string(match) + " for pattern \"" +
                       patternText + "\" and identifier \"" + identifierText + "\"");

  // The rest of the input as a REG_MULTI_SZ buffer, indexed and matched as a list.
  fakes::CallLog log;
  fakes::FakeMemory memory(log);
  platform::HeapBlock buffer = platform::AllocateBlock(memory, listBytes.size() + 2);
  std::memcpy(buffer.as<char>(), listBytes.data(), listBytes.size());
  buffer.as<char>()[listBytes.size()] = '\0';
  buffer.as<char>()[listBytes.size() + 1] = '\0';
  std::vector<std::string> strings;
  for (const char* p = buffer.as<char>(); *p != '\0'; p += std::strlen(p) + 1) strings.push_back(p);

  mordelt::MultiStringIndex index = mordelt::SplitMultiString(memory, buffer);
  fuzzing::Require(static_cast<bool>(index), "indexing failed with memory to spare");
  fuzzing::Require(!buffer, "the index did not take the buffer over");
  std::size_t count = 0;
  while (index.get()[count] != nullptr) {
    fuzzing::Require(count < strings.size() && strings[count] == index.get()[count],
                     "index entry differs");
    ++count;
  }
  fuzzing::Require(count == strings.size(), "index count differs");
  bool anyExpected = false;
  for (const std::string& entry : strings) {
    anyExpected = anyExpected || reference::Match(codePage, entry, expected);
  }
  fuzzing::Require(
      mordelt::MatchAnyIdentifier(codePage, index.get(), pattern) == (anyExpected ? 1 : 0),
      "MatchAnyIdentifier differs");
  fuzzing::Require(mordelt::MatchAnyIdentifier(codePage, nullptr, pattern) == 0, "no list matched");
  index.reset();
  fuzzing::Require(memory.LiveBlocks() == 0, "the index left a block");
  return 0;
}
