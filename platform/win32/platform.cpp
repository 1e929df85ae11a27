#include "platform/win32/platform.h"

namespace platform::win32 {

const Platform& Win32Platform() {
  static const Platform platform{Win32Memory(),       Win32Console(),  Win32CodePage(),
                                 Win32WindowSystem(), Win32Registry(), Win32Files(),
                                 Win32Processes(),    Win32Devices()};
  return platform;
}

}  // namespace platform::win32
