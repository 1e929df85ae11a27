#pragma once

#include <cstddef>

namespace platform {

// What a conversion to the ANSI code page gave.
struct AnsiConversion {
  std::size_t bytes = 0;  // bytes written, or needed when no buffer was given; 0 on failure
  bool exact = false;     // every character has its own form in the code page: no best fit,
                          // no default character, no invalid sequence
};

// The system's ANSI code page, and its case table for names, as far as the programs need them.
class CodePage {
 public:
  virtual ~CodePage() = default;
  // Which bytes lead a double-byte character (IsDBCSLeadByte). On a single-byte code page no
  // byte does.
  virtual bool IsDBCSLeadByte(unsigned char byte) const = 0;
  // Whether the code page is UTF-8 (GetACP() == 65001, Windows' "Use Unicode UTF-8 for worldwide
  // language support").
  virtual bool IsUtf8() const = 0;
  // MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS) of the `length` bytes of `text`: whether
  // every byte belongs to a valid character of the code page. Empty text is valid.
  virtual bool IsValidMultiByte(const char* text, std::size_t length) const = 0;
  // WideCharToMultiByte(CP_ACP) of the `length` (at least 1) characters of `text`, without best
  // fit: a character the code page cannot hold makes the conversion inexact (where the code
  // page is UTF-8, an unpaired surrogate fails it). With `size` 0 only the bytes needed are
  // counted; otherwise at most `size` bytes are written to `buffer`, with no NUL added.
  virtual AnsiConversion WideToAnsi(const wchar_t* text, std::size_t length, char* buffer,
                                    std::size_t size) const = 0;
  // Whether the first `length` characters of `a` and of `b` are the same without regard to
  // case, by the system's own case table, the one its file systems compare names with
  // (CompareStringOrdinal, ignoring case): no locale, no normalisation. Both texts hold at least
  // `length` characters.
  virtual bool EqualIgnoringCase(const wchar_t* a, const wchar_t* b, std::size_t length) const = 0;
};

}  // namespace platform
