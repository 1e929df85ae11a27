#include "mordelt/path_file.h"

#include "common/multibyte.h"
#include "mordelt/registry_values.h"
#include "mordelt/text_lines.h"

namespace mordelt {
namespace {

// The first word of the file, NUL-terminated in place in `line`; null when the file holds none,
// at a read error before it, or when memory for a line runs out. Words never span lines.
char* ReadFirstWord(const platform::Platform& platform, platform::TextFileHandle file,
                    TextBuffer& line) {
  while (ReadWholeLine(platform.files, file, line) == LineRead::Line) {
    char* word = line.data();
    while (common::IsWhiteSpace(*word)) ++word;
    if (*word == '\0') continue;
    char* end = word;
    while (*end != '\0' && !common::IsWhiteSpace(*end))
      end = common::NextChar(platform.codePage, end);
    *end = '\0';
    return word;
  }
  return nullptr;
}

}  // namespace

int DeleteValueFromPathFile(const platform::Platform& platform, const char* fileName) {
  const platform::UniqueTextFile file(platform.files, platform.files.fopen_r(fileName));
  if (!file) return NoSuchFile(platform.files) ? kExitSuccess : kExitDeleteFailed;

  TextBuffer line(platform.memory);
  char* const valuePath = ReadFirstWord(platform, file.get(), line);
  if (valuePath == nullptr) return kExitDeleteFailed;

  const char* const lastBackslash = common::FindLastChar(platform.codePage, valuePath, '\\');
  if (lastBackslash == nullptr) return kExitDeleteFailed;
  char* const separator = valuePath + (lastBackslash - valuePath);
  *separator = '\0';
  const char* const keyPath = valuePath;
  const char* const valueName = separator + 1;

  return DeleteRegistryValue(platform, keyPath, valueName);
}

}  // namespace mordelt
