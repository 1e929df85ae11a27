#include "mordelt/path_file.h"

#include <cstring>

#include "common/multibyte.h"
#include "mordelt/registry_values.h"
#include "mordelt/text_lines.h"

namespace mordelt {
namespace {

// The first word of the file, NUL-terminated in place in `line`; null when the file holds none,
// at a read error before it, when memory for a line runs out, or when the file begins with a
// UTF-16 byte-order mark. Words never span lines.
char* ReadFirstWord(const platform::Platform& platform, platform::TextFileHandle file,
                    TextBuffer& line) {
  for (bool firstLine = true; ReadWholeLine(platform.files, file, line) == LineRead::Line;
       firstLine = false) {
    if (firstLine && BeginsWithUtf16Mark(line.c_str())) return nullptr;
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
  platform::UniqueTextFile file(platform.files);
  switch (OpenTextFile(platform.files, fileName, file)) {
    case FileOpen::NoSuchFile:
      return kExitSuccess;
    case FileOpen::Refused:
      return kExitDeleteFailed;
    case FileOpen::Opened:
      break;
  }

  TextBuffer line(platform.memory);
  char* const valuePath = ReadFirstWord(platform, file.get(), line);
  if (valuePath == nullptr) return kExitDeleteFailed;
  if (!common::IsUsableText(platform.codePage, valuePath, std::strlen(valuePath))) {
    return kExitDeleteFailed;
  }

  const char* const lastBackslash = common::FindLastChar(platform.codePage, valuePath, '\\');
  if (lastBackslash == nullptr) return kExitDeleteFailed;
  char* const separator = valuePath + (lastBackslash - valuePath);
  *separator = '\0';
  const char* const keyPath = valuePath;
  const char* const valueName = separator + 1;

  return DeleteRegistryValue(platform, keyPath, valueName);
}

}  // namespace mordelt
