#include "platform/console.h"

#include <cstdio>

#include "platform/win32/platform.h"

namespace platform::win32 {
namespace {

// The C runtime's standard output, in text mode: "\n" reaches a file or pipe as CR LF. Without a
// usable standard output the runtime discards the text.
class StandardOutput final : public Console {
 public:
  void Write(const char* text) override { std::printf("%s", text); }
};

}  // namespace

Console& Win32Console() {
  static StandardOutput output;
  return output;
}

}  // namespace platform::win32
