#include "mordelt/registry_script.h"

#include <cstring>

#include "common/multibyte.h"
#include "mordelt/registry_values.h"
#include "mordelt/text_lines.h"

namespace mordelt {
namespace {

int FailureCode(ScriptMode mode) {
  return mode == ScriptMode::SetValues ? kExitSetValueFailed : kExitDeleteFailed;
}

// What the reader carries from one field, and one line, to the next.
struct ReaderState {
  explicit ReaderState(const platform::Platform& platform)
      : keyPath(platform.memory),
        valueName(platform.memory),
        pending(platform.memory),
        key(platform.registry, platform.codePage) {}

  TextBuffer keyPath;
  TextBuffer valueName;
  int position = 0;         // the part the next field fills: 0 key path, 1 value name, 2 data
  bool continuing = false;  // the last line ended with the continuation marker
  TextBuffer pending;       // the field that the marker cut, joined to the next line's first
  HeldKey key;              // the key of the last entry, kept open for the next ones
};

// The continuation marker of a line: a "/" that is its last character before the line end, with
// only blanks or tabs between them. Null when the line has none.
char* FindContinuationMarker(const platform::CodePage& codePage, char* line) {
  char* last = nullptr;  // the last character that is not a blank or a tab
  for (char* p = line; *p != '\0'; p = common::NextChar(codePage, p)) {
    if (*p == '\n' && p[1] == '\0') break;
    if (*p != ' ' && *p != '\t') last = p;
  }
  return last != nullptr && *last == '/' ? last : nullptr;
}

char* SkipQuotes(char* p) {
  while (*p == '"') ++p;
  return p;
}

// The end of the field that starts at `field`: its first quote, or the end of the line.
char* FieldEnd(const platform::CodePage& codePage, char* field) {
  char* p = field;
  while (*p != '\0' && *p != '"') p = common::NextChar(codePage, p);
  return p;
}

// Cuts the white space off both ends of `field` in place and returns its first character.
char* Trim(const platform::CodePage& codePage, char* field) {
  while (common::IsWhiteSpace(*field)) ++field;
  char* end = field;
  for (char* p = field; *p != '\0'; p = common::NextChar(codePage, p)) {
    if (!common::IsWhiteSpace(*p)) end = common::NextChar(codePage, p);
  }
  *end = '\0';
  return field;
}

// Places one field in the entry being gathered, and applies the entry once it is complete.
// Returns the entry's result, 0 for any other field, or the mode's failure code when memory for
// the field runs out.
int TakeField(const platform::Platform& platform, ScriptMode mode, ReaderState& state,
              char* field) {
  char* const text = Trim(platform.codePage, field);
  if (*text == '\0') return kExitSuccess;

  switch (state.position) {
    case 0:
      if (common::FindChar(platform.codePage, text, '\\') == nullptr) return kExitSuccess;
      if (!state.keyPath.Assign(text, std::strlen(text))) return FailureCode(mode);
      state.position = 1;
      return kExitSuccess;
    case 1:
      if (!state.valueName.Assign(text, std::strlen(text))) return FailureCode(mode);
      state.position = 2;
      return kExitSuccess;
    default:
      state.position = 0;
      // Each part the entry uses is checked whole, joined across a continuation marker.
      if (!common::IsUsableText(platform.codePage, state.keyPath.c_str(), state.keyPath.length()) ||
          !common::IsUsableText(platform.codePage, state.valueName.c_str(),
                                state.valueName.length()) ||
          (mode == ScriptMode::SetValues &&
           !common::IsUsableText(platform.codePage, text, std::strlen(text)))) {
        return FailureCode(mode);
      }
      if (mode == ScriptMode::SetValues) {
        return SetRegistryString(platform, state.key, state.keyPath.c_str(),
                                 state.valueName.c_str(), text);
      }
      return DeleteRegistryValue(platform, state.key, state.keyPath.c_str(),
                                 state.valueName.c_str());
  }
}

// Cuts one line into its fields and takes them in order. Returns the first non-zero result, or 0.
int ReadScriptLine(const platform::Platform& platform, ScriptMode mode, ReaderState& state,
                   char* line) {
  // The marker and what follows it are cut off; the line's last field is then kept for the next.
  char* const marker = FindContinuationMarker(platform.codePage, line);
  if (marker != nullptr) *marker = '\0';

  // A line that does not go on with a cut field starts a new entry: an incomplete one is dropped.
  const bool joinFirstField = state.continuing;
  state.continuing = false;
  if (!joinFirstField) {
    state.keyPath.Clear();
    state.valueName.Clear();
    state.position = 0;
  }

  char* cursor = SkipQuotes(line);
  for (bool first = true;; first = false) {
    char* field = cursor;
    char* const end = FieldEnd(platform.codePage, field);
    const bool last = *end == '\0';  // after it comes the line end (possibly an empty field)
    if (!last) cursor = SkipQuotes(end);
    *end = '\0';

    if (first && joinFirstField) {
      if (!state.pending.Append(field, std::strlen(field))) return FailureCode(mode);
      field = state.pending.data();
    }
    if (last && marker != nullptr) {
      if (!state.pending.Assign(field, std::strlen(field))) return FailureCode(mode);
      state.continuing = true;
      return kExitSuccess;
    }
    const int result = TakeField(platform, mode, state, field);
    if (result != kExitSuccess) return result;
    if (last) return kExitSuccess;
  }
}

int RunScriptFile(const platform::Platform& platform, ScriptMode mode, const char* fileName) {
  platform::UniqueTextFile file(platform.files);
  switch (OpenTextFile(platform.files, fileName, file)) {
    case FileOpen::NoSuchFile:
      return kExitSuccess;
    case FileOpen::Refused:
      return FailureCode(mode);
    case FileOpen::Opened:
      break;
  }
  return RunRegistryScript(platform, mode, file.get());
}

}  // namespace

int RunRegistryScript(const platform::Platform& platform, ScriptMode mode,
                      platform::TextFileHandle file) {
  ReaderState state(platform);
  TextBuffer line(platform.memory);
  for (bool firstLine = true;; firstLine = false) {
    switch (ReadWholeLine(platform.files, file, line)) {
      case LineRead::EndOfFile:
        return kExitSuccess;  // an incomplete entry and a cut field are dropped
      case LineRead::ReadError:
      case LineRead::OutOfMemory:
        return FailureCode(mode);
      case LineRead::Line:
        break;
    }
    if (firstLine && BeginsWithUtf16Mark(line.c_str())) return FailureCode(mode);
    const int result = ReadScriptLine(platform, mode, state, line.data());
    if (result != kExitSuccess) return result;
  }
}

int SetValuesFromScriptFile(const platform::Platform& platform, const char* fileName) {
  return RunScriptFile(platform, ScriptMode::SetValues, fileName);
}

int DeleteValuesFromScriptFile(const platform::Platform& platform, const char* fileName) {
  return RunScriptFile(platform, ScriptMode::DeleteValues, fileName);
}

}  // namespace mordelt
