// The path-file reader ("-delregkeyfromfile" without the dispatcher), fed a file through the
// file fake, on a single-byte or a double-byte code page, with the named value present or not
// and calls failing where the input says.
//
// Without a failing call, the value it removes must be the one a plain second reader finds: the
// first word of the file, split at its last backslash; no word or no backslash gives 6 without a
// registry call. Always: result 0 or 6, only the deletion message as text, nothing left open or
// allocated, at most one registry operation.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/recording_registry.h"
#include "mordelt/path_file.h"
#include "tests/fakes/fake_platform.h"

namespace {

struct ValuePath {
  std::string keyPath;
  std::string valueName;
};

// The first word of the file (words never span lines; each line is the C string it holds),
// split at its last backslash; nothing when there is no word or no backslash, when the file
// begins with a UTF-16 byte-order mark, or when the word is no UTF-8 under the UTF-8 code page.
std::optional<ValuePath> ReferenceValuePath(const platform::CodePage& codePage,
                                            const std::string& content) {
  std::string text;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (content[i] == '\x1A') break;
    if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') continue;
    text += content[i];
  }
  if (text.size() >= 2 &&
      ((text[0] == '\xFF' && text[1] == '\xFE') || (text[0] == '\xFE' && text[1] == '\xFF'))) {
    return std::nullopt;
  }
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line(text.substr(start, end - start).c_str());
    start = end;
    const std::vector<std::string> chars = fuzzing::Characters(codePage, line);
    std::size_t i = 0;
    while (i < chars.size() && fuzzing::IsBlank(chars[i])) ++i;
    if (i == chars.size()) continue;
    std::vector<std::string> word;
    while (i < chars.size() && !fuzzing::IsBlank(chars[i])) word.push_back(chars[i++]);
    std::size_t backslash = word.size();
    for (std::size_t k = 0; k < word.size(); ++k) {
      if (word[k] == "\\") backslash = k;
    }
    if (backslash == word.size()) return std::nullopt;
    std::string whole;
    for (const std::string& c : word) whole += c;
    if (codePage.IsUtf8() && !codePage.IsValidMultiByte(whole.data(), whole.size())) {
      return std::nullopt;
    }
    ValuePath path;
    for (std::size_t k = 0; k < backslash; ++k) path.keyPath += word[k];
    for (std::size_t k = backslash + 1; k < word.size(); ++k) path.valueName += word[k];
    return path;
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  fakes::FakePlatform fake;
  fuzzing::RecordingRegistry registry(fake.registry);
  const platform::Platform platform = fuzzing::RecordedPlatform(fake, registry);
  if (input.ConsumeBool()) fake.codePage.UseShiftJis();
  if (input.ConsumeBool()) fake.codePage.UseUtf8();
  const bool present = input.ConsumeBool();
  if (input.ConsumeBool()) fuzzing::PlanFaults(input, fake.log, 2, 24, true);
  const std::string content = input.ConsumeRemainingBytesAsString();
  const char kName[] = "C:\\Setup\\value.txt";
  fake.files.AddFile(kName, content);

  const std::optional<ValuePath> expected = ReferenceValuePath(fake.codePage, content);
  if (present && expected && (expected->keyPath.empty() || expected->keyPath[0] != '\\')) {
    fake.registry.PutString(expected->keyPath, expected->valueName, "x");
  }

  const int result = mordelt::DeleteValueFromPathFile(platform, kName);

  fuzzing::Require(result == 0 || result == 6, "result " + std::to_string(result));
  fuzzing::Require(fake.OpenHandles() == 0, "a stream or key is left open");
  fuzzing::Require(fake.memory.LiveBlocks() == 0, "a block is left allocated");
  fuzzing::Require(fake.memory.BadFrees() == 0, "a block was freed that was not live");
  fuzzing::Require(fake.files.BadCloses() == 0, "a stream was closed that was not open");
  const std::vector<fuzzing::RegistryOperation>& made = registry.operations;
  fuzzing::Require(made.size() <= 1, "more than one registry operation");
  std::string expectedOutput;
  if (!made.empty() && made[0].valueCallMade && made[0].valueResult != 0) {
    expectedOutput = fuzzing::DeleteErrorText(made[0].valueResult);
  }
  fuzzing::Require(fake.console.output == expectedOutput, "texts: " + fake.console.output);
  const bool removed = !made.empty() && made[0].valueCallMade && made[0].valueResult == 0;
  if (!fake.log.calls().empty() && fake.log.calls()[0].name == "CreateFileA" &&
      fake.log.calls()[0].failed) {
    // The file exists: only a "no such file or folder", planned for the open or for the
    // error read after it, lets the run pass.
    bool noSuchFile = false;
    for (std::size_t i = 0; i < 2 && i < fake.log.calls().size(); ++i) {
      const fakes::Call& call = fake.log.calls()[i];
      noSuchFile = noSuchFile || (call.failed && (call.error == platform::kErrorFileNotFound ||
                                                  call.error == platform::kErrorPathNotFound));
    }
    fuzzing::Require(made.empty(), "a registry call for a file that was not opened");
    fuzzing::Require(result == 6 || (result == 0 && noSuchFile),
                     "a file that cannot be opened: 0 without a no-such-file error");
  } else {
    fuzzing::Require((result == 0) == removed, "result does not say whether the value went");
  }

  bool anyFailed = false;
  for (const fakes::Call& call : fake.log.calls()) anyFailed = anyFailed || call.failed;
  if (anyFailed) return 0;
  if (!expected) {
    fuzzing::Require(result == 6 && made.empty(), "no value path, yet not 6 without a call");
    return 0;
  }
  fuzzing::Require(made.size() == 1, "no registry operation for a value path");
  fuzzing::Require(made[0].keyPath == expected->keyPath, "key path differs");
  if (made[0].valueCallMade) {
    fuzzing::Require(made[0].call == "delete", "not a value deletion");
    fuzzing::Require(made[0].valueName == expected->valueName, "value name differs");
  }
  return 0;
}
