#include "common/command_line.h"

#include <cstring>
#include <cwchar>

#include "common/multibyte.h"

namespace common {
namespace {

// A new block holding the optional prefix and the text [begin, end), then two NULs; null when
// memory runs out.
char* MakeEntry(platform::Memory& memory, char prefix, const char* begin, const char* end) {
  const std::size_t prefixLength = (prefix != '\0') ? 1 : 0;
  const std::size_t length = prefixLength + static_cast<std::size_t>(end - begin);
  char* entry = static_cast<char*>(memory.HeapAlloc(length + 2));
  if (entry == nullptr) return nullptr;
  if (prefixLength != 0) entry[0] = prefix;
  std::memcpy(entry + prefixLength, begin, static_cast<std::size_t>(end - begin));
  entry[length] = '\0';
  entry[length + 1] = '\0';
  return entry;
}

bool IsBlankOrTab(char c) { return c == ' ' || c == '\t'; }

// Whether `text` holds at least `length` characters before its NUL.
bool HoldsAtLeast(const wchar_t* text, std::size_t length) {
  for (std::size_t i = 0; i < length; ++i) {
    if (text[i] == L'\0') return false;
  }
  return true;
}

// Whether `text` begins with `prefix`, without regard to case.
bool BeginsWith(const platform::CodePage& codePage, const wchar_t* text, const wchar_t* prefix) {
  const std::size_t length = std::wcslen(prefix);
  return HoldsAtLeast(text, length) && codePage.EqualIgnoringCase(text, prefix, length);
}

bool IsAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

// A path read without its long-path prefix.
struct PlainPath {
  bool onServer;        // "\\server\share\..." or "\\?\UNC\server\share\..."
  const wchar_t* rest;  // what follows the prefix: "C:\..." or "server\share\..."
};

PlainPath WithoutLongPathPrefix(const platform::CodePage& codePage, const wchar_t* path) {
  if (BeginsWith(codePage, path, L"\\\\?\\UNC\\")) return {true, path + 8};
  if (BeginsWith(codePage, path, L"\\\\?\\") && IsAsciiLetter(path[4]) && path[5] == L':') {
    return {false, path + 4};
  }
  if (BeginsWith(codePage, path, L"\\\\")) return {true, path + 2};
  return {false, path};
}

// Where the program's own path ends when the command line begins with it, unquoted, and a blank,
// a tab or the end follows; null otherwise.
const wchar_t* AfterOwnPath(const platform::CodePage& codePage, const wchar_t* commandLine,
                            const wchar_t* ownPath) {
  const PlainPath own = WithoutLongPathPrefix(codePage, ownPath);
  const PlainPath line = WithoutLongPathPrefix(codePage, commandLine);
  const std::size_t length = std::wcslen(own.rest);
  if (length == 0 || own.onServer != line.onServer || !HoldsAtLeast(line.rest, length) ||
      !codePage.EqualIgnoringCase(line.rest, own.rest, length)) {
    return nullptr;
  }
  const wchar_t* end = line.rest + length;
  return (*end == L'\0' || *end == L' ' || *end == L'\t') ? end : nullptr;
}

}  // namespace

const wchar_t* SkipProgramName(const platform::CodePage& codePage, const wchar_t* commandLine,
                               const wchar_t* ownPath) {
  const wchar_t* p = AfterOwnPath(codePage, commandLine, ownPath);
  if (p == nullptr) {
    p = commandLine;
    if (*p == L'"') {
      ++p;
      while (*p != L'\0' && *p != L'"') ++p;
      if (*p == L'"') ++p;
    } else {
      while (*p != L'\0' && *p != L' ' && *p != L'\t') ++p;
    }
  }
  while (*p == L' ' || *p == L'\t') ++p;
  return p;
}

SplitResult SplitCommandLine(platform::Memory& memory, const platform::CodePage& codePage,
                             const char* text, char delimiter, bool rePrefix, DelimiterPlace place,
                             char** table, int capacity) {
  SplitResult result{0, SplitStatus::Complete};
  const char* p = text;
  for (;;) {
    // Here a delimiter cuts wherever it may stand: a run of them counts as one.
    while (*p == delimiter && !IsLeadPair(codePage, p)) ++p;
    if (*p == '\0') return result;

    // The raw token runs up to the next delimiter that cuts, a character at a time, so a
    // double-byte character is never cut and its trail byte is never a delimiter or white
    // space. The trimmed entry runs from its first to its last character that is not white
    // space.
    const char* begin = nullptr;
    const char* end = nullptr;
    bool afterBlank = false;  // the character before p is a blank or a tab
    for (; *p != '\0'; p = NextChar(codePage, p)) {
      const bool pair = IsLeadPair(codePage, p);
      if (!pair && *p == delimiter && (place == DelimiterPlace::Anywhere || afterBlank)) break;
      if (pair || !IsWhiteSpace(*p)) {
        if (begin == nullptr) begin = p;
        end = NextChar(codePage, p);
      }
      afterBlank = !pair && IsBlankOrTab(*p);
    }
    if (*p != '\0') ++p;             // past the delimiter that ended the token
    if (begin == nullptr) continue;  // white space only: the token takes no slot

    if (result.count == capacity) {
      result.status = SplitStatus::TooManyEntries;
      return result;
    }
    char* entry = MakeEntry(memory, rePrefix ? delimiter : '\0', begin, end);
    if (entry == nullptr) {
      result.status = SplitStatus::OutOfMemory;
      return result;
    }
    table[result.count++] = entry;
  }
}

}  // namespace common
