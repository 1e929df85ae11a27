#include "platform/code_page.h"

#include <windows.h>

#include "platform/win32/platform.h"

namespace platform::win32 {
namespace {

constexpr UINT kUtf8CodePage = 65001;  // CP_UTF8

class AnsiCodePage final : public CodePage {
 public:
  bool IsDBCSLeadByte(unsigned char byte) const override { return ::IsDBCSLeadByte(byte) != 0; }
  bool IsUtf8() const override { return GetACP() == kUtf8CodePage; }
  bool IsValidMultiByte(const char* text, std::size_t length) const override {
    if (length == 0) return true;
    if (length > 0x7FFFFFFF) return false;
    return ::MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, text, static_cast<int>(length),
                                 nullptr, 0) > 0;
  }

  AnsiConversion WideToAnsi(const wchar_t* text, std::size_t length, char* buffer,
                            std::size_t size) const override {
    AnsiConversion result;
    if (length == 0 || length > 0x7FFFFFFF || size > 0x7FFFFFFF) return result;
    // UTF-8 holds every character: only an invalid sequence (an unpaired surrogate) can fail,
    // and it fails the call instead of becoming U+FFFD. Elsewhere a character that has no form
    // of its own becomes the default character and sets the flag, never a look-alike.
    const bool utf8 = GetACP() == kUtf8CodePage;
    BOOL usedDefault = FALSE;
    const int bytes =
        ::WideCharToMultiByte(CP_ACP, utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS, text,
                              static_cast<int>(length), size != 0 ? buffer : nullptr,
                              static_cast<int>(size), nullptr, utf8 ? nullptr : &usedDefault);
    if (bytes <= 0) return result;
    result.bytes = static_cast<std::size_t>(bytes);
    result.exact = usedDefault == FALSE;
    return result;
  }

  bool EqualIgnoringCase(const wchar_t* a, const wchar_t* b, std::size_t length) const override {
    if (length > 0x7FFFFFFF) return false;
    const int count = static_cast<int>(length);
    return ::CompareStringOrdinal(a, count, b, count, TRUE) == CSTR_EQUAL;
  }
};

}  // namespace

CodePage& Win32CodePage() {
  static AnsiCodePage codePage;
  return codePage;
}

}  // namespace platform::win32
