#pragma once

namespace platform {

// The system's ANSI code page as far as the programs need it: which bytes lead a
// double-byte character (IsDBCSLeadByte). On a single-byte code page no byte does.
class CodePage {
 public:
  virtual ~CodePage() = default;
  virtual bool IsDBCSLeadByte(unsigned char byte) const = 0;
};

}  // namespace platform
