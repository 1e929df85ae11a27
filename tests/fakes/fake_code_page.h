#pragma once

#include <bitset>
#include <set>

#include "platform/code_page.h"

namespace fakes {

// A code page: single-byte by default; UseShiftJis makes 0x81-0x9F and 0xE0-0xFC lead bytes,
// whose trail bytes include 0x40-0x7E ("\\" 0x5C, "/" 0x2F is not one, "*" 0x2A is not one).
//
// WideToAnsi holds the characters U+0000 to U+00FF as the bytes of the same value (ASCII and
// Latin-1), except those marked with CannotHold; any other character is written as "?" and makes
// the conversion inexact. Recorded nowhere; counts its calls.
class FakeCodePage final : public platform::CodePage {
 public:
  bool IsDBCSLeadByte(unsigned char byte) const override { return lead_[byte]; }
  void UseSingleByte() { lead_.reset(); }
  void UseShiftJis() {
    lead_.reset();
    for (int b = 0x81; b <= 0x9F; ++b) lead_.set(b);
    for (int b = 0xE0; b <= 0xFC; ++b) lead_.set(b);
  }
  void SetLeadByte(unsigned char byte, bool lead = true) { lead_.set(byte, lead); }

  platform::AnsiConversion WideToAnsi(const wchar_t* text, std::size_t length, char* buffer,
                                      std::size_t size) const override {
    ++conversions;
    platform::AnsiConversion result;
    if (length == 0 || (size != 0 && size < length)) return result;
    result.exact = true;
    for (std::size_t i = 0; i < length; ++i) {
      const bool held = text[i] >= 0 && text[i] <= 0xFF && unheld_.count(text[i]) == 0;
      if (!held) result.exact = false;
      if (size != 0) buffer[i] = held ? static_cast<char>(text[i]) : '?';
    }
    result.bytes = length;
    return result;
  }
  // A character below U+0100 that the code page cannot hold from now on.
  void CannotHold(wchar_t character) { unheld_.insert(character); }

  mutable int conversions = 0;

 private:
  std::bitset<256> lead_;
  std::set<wchar_t> unheld_;
};

}  // namespace fakes
