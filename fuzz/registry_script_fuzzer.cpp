// The registry script reader in both modes, fed a script file through the file fake
// ("-regfile" and "-delregfromfile" without the dispatcher), on a single-byte or a double-byte
// code page, with calls failing where the input says.
//
// Without a failing call, the registry operations the reader makes must be those of a plain
// second reader below, in order, up to the first that fails, and the result and texts must
// follow from them. With failing calls: result 0 or the mode's failure code, only the deletion
// message as text. Always: no stream or key left open, no block live.

#include <cctype>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "fuzz/recording_registry.h"
#include "mordelt/registry_script.h"
#include "tests/fakes/fake_platform.h"

namespace {

using Chars = std::vector<std::string>;

struct Entry {
  std::string keyPath;
  std::string valueName;
  std::string data;
};

std::string Join(const Chars& chars, std::size_t from, std::size_t to) {
  std::string text;
  for (std::size_t i = from; i < to; ++i) text += chars[i];
  return text;
}

// The field without white space at either end.
std::string Trimmed(const platform::CodePage& codePage, const std::string& field) {
  const Chars chars = fuzzing::Characters(codePage, field);
  std::size_t begin = 0;
  std::size_t end = chars.size();
  while (begin < end && fuzzing::IsBlank(chars[begin])) ++begin;
  while (end > begin && fuzzing::IsBlank(chars[end - 1])) --end;
  return Join(chars, begin, end);
}

bool HasBackslash(const platform::CodePage& codePage, const std::string& text) {
  for (const std::string& c : fuzzing::Characters(codePage, text)) {
    if (c == "\\") return true;
  }
  return false;
}

// The lines of a file as a text-mode stream reads them: Ctrl-Z ends the file, CR LF is LF, each
// line up to and including its line feed, and each taken as the C string it holds.
std::vector<std::string> TextLines(const std::string& content) {
  std::string text;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (content[i] == '\x1A') break;
    if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') continue;
    text += content[i];
  }
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    end = end == std::string::npos ? text.size() : end + 1;
    lines.push_back(std::string(text.substr(start, end - start).c_str()));
    start = end;
  }
  return lines;
}

// Every entry of the script, in order. An entry is three non-blank fields of one line (the first
// holding a backslash); a "/" that is the line's last character but blanks and tabs joins the
// field it ends to the next line's first field.
std::vector<Entry> ReferenceEntries(const platform::CodePage& codePage,
                                    const std::string& content) {
  std::vector<Entry> entries;
  Entry entry;
  int position = 0;
  bool continuing = false;
  std::string pending;
  for (const std::string& line : TextLines(content)) {
    Chars chars = fuzzing::Characters(codePage, line);
    // The marker: the last character that is not a blank or a tab, the final line feed aside.
    std::size_t end = chars.size();
    if (end > 0 && chars[end - 1] == "\n") --end;
    std::size_t last = end;
    for (std::size_t i = 0; i < end; ++i) {
      if (chars[i] != " " && chars[i] != "\t") last = i;
    }
    const bool marker = last < end && chars[last] == "/";
    if (marker) chars.resize(last);

    const bool join = continuing;
    continuing = false;
    if (!join) {
      entry = Entry();
      position = 0;
    }
    // Fields: quotes at the start are skipped, each run of quotes separates, the last field is
    // what follows the last run (it may be empty).
    std::vector<std::string> fields;
    std::size_t i = 0;
    while (i < chars.size() && chars[i] == "\"") ++i;
    std::string field;
    for (; i < chars.size(); ++i) {
      if (chars[i] == "\"") {
        fields.push_back(field);
        field.clear();
        while (i + 1 < chars.size() && chars[i + 1] == "\"") ++i;
      } else {
        field += chars[i];
      }
    }
    fields.push_back(field);

    for (std::size_t f = 0; f < fields.size(); ++f) {
      std::string text = fields[f];
      if (f == 0 && join) text = pending + text;
      if (f + 1 == fields.size() && marker) {
        pending = text;
        continuing = true;
        break;
      }
      const std::string trimmed = Trimmed(codePage, text);
      if (trimmed.empty()) continue;
      if (position == 0) {
        if (!HasBackslash(codePage, trimmed)) continue;
        entry.keyPath = trimmed;
        position = 1;
      } else if (position == 1) {
        entry.valueName = trimmed;
        position = 2;
      } else {
        entry.data = trimmed;
        position = 0;
        entries.push_back(entry);
      }
    }
  }
  return entries;
}

// Whether a held key's path names the key of the entry as the program compares them: equal but
// for the case of single-byte ASCII letters.
bool SameKey(const platform::CodePage& codePage, const std::string& a, const std::string& b) {
  const Chars x = fuzzing::Characters(codePage, a);
  const Chars y = fuzzing::Characters(codePage, b);
  if (x.size() != y.size()) return false;
  for (std::size_t i = 0; i < x.size(); ++i) {
    if (x[i].size() == 1 && y[i].size() == 1 &&
        std::toupper(static_cast<unsigned char>(x[i][0])) ==
            std::toupper(static_cast<unsigned char>(y[i][0]))) {
      continue;
    }
    if (x[i] != y[i]) return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  fakes::FakePlatform fake;
  fuzzing::RecordingRegistry registry(fake.registry);
  const platform::Platform platform = fuzzing::RecordedPlatform(fake, registry);
  const bool deleting = input.ConsumeBool();
  if (input.ConsumeBool()) fake.codePage.UseShiftJis();
  if (input.ConsumeBool()) fake.codePage.UseUtf8();
  const bool prepared = input.ConsumeBool();
  const bool faults = input.ConsumeBool();
  if (faults) fuzzing::PlanFaults(input, fake.log, 2, 96, true);
  const std::string content = input.ConsumeRemainingBytesAsString();
  const char kName[] = "C:\\Setup\\values.txt";
  fake.files.AddFile(kName, content);

  if (deleting && prepared) {
    // The values the script names exist, as after "-regfile" with the same file.
    for (const Entry& entry : ReferenceEntries(fake.codePage, content)) {
      if (!entry.keyPath.empty() && entry.keyPath[0] != '\\') {
        fake.registry.PutString(entry.keyPath, entry.valueName, entry.data);
      }
    }
  }

  const int result = deleting ? mordelt::DeleteValuesFromScriptFile(platform, kName)
                              : mordelt::SetValuesFromScriptFile(platform, kName);
  const int failure = deleting ? 6 : 5;

  fuzzing::Require(result == 0 || result == failure, "result " + std::to_string(result));
  fuzzing::Require(fake.OpenHandles() == 0, "a stream or key is left open");
  fuzzing::Require(fake.memory.LiveBlocks() == 0, "a block is left allocated");
  fuzzing::Require(fake.memory.BadFrees() == 0, "a block was freed that was not live");
  fuzzing::Require(fake.files.BadCloses() == 0, "a stream was closed that was not open");

  // Texts: only the deletion message, for the value call that failed, and only at the end.
  std::string expectedOutput;
  const std::vector<fuzzing::RegistryOperation>& made = registry.operations;
  if (deleting && !made.empty() && made.back().valueCallMade && made.back().valueResult != 0) {
    expectedOutput = fuzzing::DeleteErrorText(made.back().valueResult);
  }
  fuzzing::Require(fake.console.output == expectedOutput, "texts: " + fake.console.output);
  for (std::size_t i = 0; i + 1 < made.size(); ++i) {
    fuzzing::Require(made[i].valueCallMade && made[i].valueResult == 0,
                     "the script went on after a failed entry");
  }

  bool anyFailed = false;
  for (const fakes::Call& call : fake.log.calls()) anyFailed = anyFailed || call.failed;
  if (anyFailed) return 0;

  // Every entry the plain reader finds, in order, up to the first that fails. A file saved as
  // UTF-16 is refused whole; under the UTF-8 code page, so is the first entry whose key path,
  // value name or (when setting) data is not UTF-8, with the entries before it applied.
  std::vector<Entry> expected = ReferenceEntries(fake.codePage, content);
  const std::vector<std::string> lines = TextLines(content);
  const bool utf16 = !lines.empty() && lines[0].size() >= 2 &&
                     ((lines[0][0] == '\xFF' && lines[0][1] == '\xFE') ||
                      (lines[0][0] == '\xFE' && lines[0][1] == '\xFF'));
  std::size_t usable = utf16 ? 0 : expected.size();
  const auto valid = [&fake](const std::string& text) {
    return fake.codePage.IsValidMultiByte(text.data(), text.size());
  };
  for (std::size_t i = 0; i < usable && fake.codePage.IsUtf8(); ++i) {
    if (!valid(expected[i].keyPath) || !valid(expected[i].valueName) ||
        (!deleting && !valid(expected[i].data))) {
      usable = i;
    }
  }
  const bool refused = utf16 || usable < expected.size();
  expected.resize(usable);
  fuzzing::Require(made.size() <= expected.size(), "more registry operations than entries");
  for (std::size_t i = 0; i < made.size(); ++i) {
    const std::string where = "entry " + std::to_string(i) + ": ";
    fuzzing::Require(made[i].held ? SameKey(fake.codePage, made[i].keyPath, expected[i].keyPath)
                                  : made[i].keyPath == expected[i].keyPath,
                     where + "key path differs");
    if (!made[i].valueCallMade) continue;
    fuzzing::Require(made[i].call == (deleting ? "delete" : "set"), where + "wrong call");
    fuzzing::Require(made[i].valueName == expected[i].valueName, where + "value name differs");
    if (!deleting) {
      fuzzing::Require(made[i].data == expected[i].data + std::string(1, '\0'),
                       where + "data differs");
    }
  }
  const bool lastFailed =
      !made.empty() && (!made.back().valueCallMade || made.back().valueResult != 0);
  if (result == 0) {
    fuzzing::Require(made.size() == expected.size() && !lastFailed && !refused,
                     "the run ended with 0 before its last entry");
  } else {
    fuzzing::Require(lastFailed || (refused && made.size() == expected.size()),
                     "the run failed without a failed or refused entry");
  }
  return 0;
}
