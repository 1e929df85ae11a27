#include "platform/code_page.h"

#include <windows.h>

#include "platform/win32/platform.h"

namespace platform::win32 {
namespace {

class AnsiCodePage final : public CodePage {
 public:
  bool IsDBCSLeadByte(unsigned char byte) const override { return ::IsDBCSLeadByte(byte) != 0; }
};

}  // namespace

CodePage& Win32CodePage() {
  static AnsiCodePage codePage;
  return codePage;
}

}  // namespace platform::win32
