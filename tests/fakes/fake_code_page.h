#pragma once

#include <bitset>
#include <set>
#include <string>

#include "platform/code_page.h"

namespace fakes {

// A code page: single-byte by default; UseShiftJis makes 0x81-0x9F and 0xE0-0xFC lead bytes,
// whose trail bytes include 0x40-0x7E ("\\" 0x5C, "/" 0x2F is not one, "*" 0x2A is not one);
// UseUtf8 makes it UTF-8 (65001), where no byte is a lead byte.
//
// IsValidMultiByte: under UTF-8, whether the bytes are well-formed UTF-8 (no stray continuation
// byte, no cut or overlong sequence, no surrogate, nothing above U+10FFFF); under the other code
// pages, whether no lead byte stands last, without its trail byte. Everything else is valid.
//
// WideToAnsi holds the characters U+0000 to U+00FF as the bytes of the same value (ASCII and
// Latin-1), except those marked with CannotHold, and U+3042 as the two bytes 0x82 0xA0 (as Shift
// JIS does); any other character is written as "?" and makes the conversion inexact.
// EqualIgnoringCase takes the ASCII and Latin-1 capitals (U+00C0 to U+00DE but U+00D7) for their
// small letters. Recorded nowhere; counts its conversions and the comparisons asked over a text's
// end.
class FakeCodePage final : public platform::CodePage {
 public:
  bool IsDBCSLeadByte(unsigned char byte) const override { return lead_[byte]; }
  bool IsUtf8() const override { return utf8_; }
  bool IsValidMultiByte(const char* text, std::size_t length) const override {
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    if (!utf8_) return length == 0 || !lead_[bytes[length - 1]] || !EndsWithLeadByte(text, length);
    for (std::size_t i = 0; i < length;) {
      const unsigned char b = bytes[i];
      const std::size_t size = b < 0x80                 ? 1
                               : b >= 0xC2 && b <= 0xDF ? 2
                               : b >= 0xE0 && b <= 0xEF ? 3
                               : b >= 0xF0 && b <= 0xF4 ? 4
                                                        : 0;
      if (size == 0 || i + size > length) return false;
      for (std::size_t k = 1; k < size; ++k) {
        if ((bytes[i + k] & 0xC0) != 0x80) return false;
      }
      const unsigned char second = size > 1 ? bytes[i + 1] : 0;
      if ((b == 0xE0 && second < 0xA0) || (b == 0xED && second >= 0xA0) ||
          (b == 0xF0 && second < 0x90) || (b == 0xF4 && second >= 0x90)) {
        return false;
      }
      i += size;
    }
    return true;
  }
  void UseSingleByte() {
    lead_.reset();
    utf8_ = false;
  }
  void UseUtf8() {
    lead_.reset();
    utf8_ = true;
  }
  void UseShiftJis() {
    lead_.reset();
    utf8_ = false;
    for (int b = 0x81; b <= 0x9F; ++b) lead_.set(b);
    for (int b = 0xE0; b <= 0xFC; ++b) lead_.set(b);
  }
  void SetLeadByte(unsigned char byte, bool lead = true) { lead_.set(byte, lead); }

  platform::AnsiConversion WideToAnsi(const wchar_t* text, std::size_t length, char* buffer,
                                      std::size_t size) const override {
    ++conversions;
    platform::AnsiConversion result;
    std::string bytes;
    bool exact = true;
    for (std::size_t i = 0; i < length; ++i) {
      if (text[i] == kDoubleByteCharacter) {
        bytes += "\x82\xA0";
        continue;
      }
      const bool held = text[i] >= 0 && text[i] <= 0xFF && unheld_.count(text[i]) == 0;
      if (!held) exact = false;
      bytes += held ? static_cast<char>(text[i]) : '?';
    }
    if (length == 0 || (size != 0 && size < bytes.size())) return result;
    if (size != 0) bytes.copy(buffer, bytes.size());
    result.exact = exact;
    result.bytes = bytes.size();
    return result;
  }

  bool EqualIgnoringCase(const wchar_t* a, const wchar_t* b, std::size_t length) const override {
    // The system would read past the end of a shorter text.
    for (std::size_t i = 0; i < length; ++i) {
      if (a[i] == L'\0' || b[i] == L'\0') {
        ++comparedPastTheEnd;
        return false;
      }
    }
    for (std::size_t i = 0; i < length; ++i) {
      if (Small(a[i]) != Small(b[i])) return false;
    }
    return true;
  }
  // A character below U+0100 that the code page cannot hold from now on.
  void CannotHold(wchar_t character) { unheld_.insert(character); }

  mutable int conversions = 0;
  mutable int comparedPastTheEnd = 0;  // comparisons asked over a text's end
  static constexpr wchar_t kDoubleByteCharacter = L'\u3042';

 private:
  static wchar_t Small(wchar_t c) {
    const bool capital = (c >= L'A' && c <= L'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7);
    return capital ? static_cast<wchar_t>(c + 0x20) : c;
  }

  // Whether the last byte of the text is a lead byte that begins a character (not the trail byte
  // of the character before it).
  bool EndsWithLeadByte(const char* text, std::size_t length) const {
    std::size_t i = 0;
    while (i + 1 < length) i += lead_[static_cast<unsigned char>(text[i])] ? 2 : 1;
    return i == length - 1;
  }

  bool utf8_ = false;
  std::bitset<256> lead_;
  std::set<wchar_t> unheld_;
};

}  // namespace fakes
