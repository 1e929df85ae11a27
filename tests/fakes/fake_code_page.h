#pragma once

#include <bitset>

#include "platform/code_page.h"

namespace fakes {

// A code page: single-byte by default; UseShiftJis makes 0x81-0x9F and 0xE0-0xFC lead bytes,
// whose trail bytes include 0x40-0x7E ("\\" 0x5C, "/" 0x2F is not one, "*" 0x2A is not one).
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

 private:
  std::bitset<256> lead_;
};

}  // namespace fakes
