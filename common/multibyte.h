#pragma once

#include <cstddef>

#include "platform/code_page.h"

namespace common {

// Stepping through 8-bit multibyte text of the ANSI code page. A lead byte and the byte after it
// are one character, so a trail byte is never taken for a delimiter, blank, quote, slash or
// backslash. A lead byte right before the terminating NUL counts as one byte of its own.

// No ANSI code page of Windows leads a double-byte character with an ASCII byte (the lead bytes
// of 932, 936, 949, 950 and 1361 start at 0x81), so ASCII text is stepped without a call.
inline bool IsLeadPair(const platform::CodePage& codePage, const char* p) {
  const auto byte = static_cast<unsigned char>(p[0]);
  return byte >= 0x80 && codePage.IsDBCSLeadByte(byte) && p[1] != '\0';
}

// The next character after p; p itself at the terminating NUL.
inline const char* NextChar(const platform::CodePage& codePage, const char* p) {
  if (*p == '\0') return p;
  return p + (IsLeadPair(codePage, p) ? 2 : 1);
}
inline char* NextChar(const platform::CodePage& codePage, char* p) {
  return const_cast<char*>(NextChar(codePage, static_cast<const char*>(p)));
}

// White space of the C locale: space and 0x09 to 0x0D. No byte of 0x80 or above.
inline bool IsWhiteSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The character with an ASCII capital letter made small; every other byte as it is.
inline char ToLowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The first character c (a single-byte character) in text, or null.
inline const char* FindChar(const platform::CodePage& codePage, const char* text, char c) {
  for (const char* p = text; *p != '\0'; p = NextChar(codePage, p)) {
    if (*p == c) return p;
  }
  return nullptr;
}

// The last character c (a single-byte character) in text, or null.
inline const char* FindLastChar(const platform::CodePage& codePage, const char* text, char c) {
  const char* last = nullptr;
  for (const char* p = text; *p != '\0'; p = NextChar(codePage, p)) {
    if (*p == c) last = p;
  }
  return last;
}

// Whether text read from a file can be handed to the system's 8-bit calls as it is. Under the
// UTF-8 code page only valid UTF-8 can: the system would store each invalid byte as U+FFFD.
// Under every other code page, any text.
inline bool IsUsableText(const platform::CodePage& codePage, const char* text, std::size_t length) {
  return !codePage.IsUtf8() || codePage.IsValidMultiByte(text, length);
}

}  // namespace common
