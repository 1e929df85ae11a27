#include "mordelt/identifier_pattern.h"

#include <cstddef>
#include <cstring>

#include "common/multibyte.h"

namespace mordelt {
namespace {

using platform::CodePage;

// Upper case of an ASCII letter; every other byte as it is.
char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Bytes of the character at p: 2 for a double-byte character, else 1.
std::size_t CharLength(const CodePage& codePage, const char* p) {
  return common::IsLeadPair(codePage, p) ? 2 : 1;
}

// Whether the characters at a and b are equal: double-byte characters byte for byte, single
// bytes ignoring the case of ASCII letters.
bool SameChar(const CodePage& codePage, const char* a, const char* b) {
  const std::size_t length = CharLength(codePage, a);
  if (length != CharLength(codePage, b)) return false;
  if (length == 2) return a[0] == b[0] && a[1] == b[1];
  return FoldAscii(a[0]) == FoldAscii(b[0]);
}

// Whether the `length` bytes of pattern text at `pattern` (whole characters) equal the text at
// `text`, character by character. Stops at the first difference, so a shorter text (its NUL
// differs from any pattern character) is never read past its end.
bool SameChars(const CodePage& codePage, const char* text, const char* pattern,
               std::size_t length) {
  const char* const end = pattern + length;
  while (pattern < end) {
    if (!SameChar(codePage, text, pattern)) return false;
    const std::size_t step = CharLength(codePage, pattern);
    text += step;
    pattern += step;
  }
  return true;
}

// The first position at or after s where the segment (`length` bytes at `segment`, no "*")
// stands, or null. A candidate is a character equal to the segment's first character; when the
// segment does not follow there, the search goes on one character later.
const char* FindSegment(const CodePage& codePage, const char* s, const char* segment,
                        std::size_t length) {
  for (; *s != '\0'; s = common::NextChar(codePage, s)) {
    if (SameChar(codePage, s, segment) && SameChars(codePage, s, segment, length)) return s;
  }
  return nullptr;
}

// Whether the rest of the identifier from s ends with the final segment at p. The segment may
// not reach before s, and must begin on a character of the identifier (never inside a
// double-byte character).
bool MatchFinalSegment(const CodePage& codePage, const char* s, const char* p) {
  const std::size_t available = std::strlen(s);
  const std::size_t needed = std::strlen(p);
  if (available < needed) return false;
  const char* const start = s + (available - needed);
  const char* boundary = s;
  while (boundary < start) boundary = common::NextChar(codePage, boundary);
  if (boundary != start) return false;
  return SameChars(codePage, start, p, needed);
}

}  // namespace

IdentifierPattern ParseIdentifierPattern(const CodePage& codePage, const char* argument) {
  IdentifierPattern pattern{argument, nullptr, false};
  if (*pattern.text == '@') {
    pattern.byInstanceId = true;
    ++pattern.text;
  }
  if (*pattern.text == '\'') {
    ++pattern.text;
    return pattern;
  }
  pattern.firstWildcard = common::FindChar(codePage, pattern.text, '*');
  return pattern;
}

bool MatchIdentifier(const CodePage& codePage, const char* identifier,
                     const IdentifierPattern& pattern) {
  if (pattern.firstWildcard == nullptr) {
    const std::size_t length = std::strlen(pattern.text);
    return std::strlen(identifier) == length &&
           SameChars(codePage, identifier, pattern.text, length);
  }

  // The text before the first "*" begins the identifier.
  const std::size_t prefixLength = static_cast<std::size_t>(pattern.firstWildcard - pattern.text);
  if (!SameChars(codePage, identifier, pattern.text, prefixLength)) return false;
  const char* p = pattern.firstWildcard;
  const char* s = identifier + prefixLength;

  // Each segment between two "*" at its leftmost occurrence from s on.
  while (*p != '\0') {
    if (*p == '*') {
      p = common::NextChar(codePage, p);
      continue;
    }
    const char* closing = common::FindChar(codePage, p, '*');
    if (closing == nullptr) return MatchFinalSegment(codePage, s, p);
    const std::size_t segmentLength = static_cast<std::size_t>(closing - p);
    s = FindSegment(codePage, s, p, segmentLength);
    if (s == nullptr) return false;
    s += segmentLength;
    p = closing;
  }
  // A trailing "*" takes whatever is left.
  return true;
}

bool MatchAnyIdentifier(const CodePage& codePage, const char* const* list,
                        const IdentifierPattern& pattern) {
  if (list == nullptr) return false;
  for (; *list != nullptr; ++list) {
    if (MatchIdentifier(codePage, *list, pattern)) return true;
  }
  return false;
}

}  // namespace mordelt
