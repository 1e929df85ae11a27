#include <windows.h>

#include "platform/devices.h"
#include "platform/win32/win32_platform.h"

namespace platform::win32 {
namespace {

class SetupApiDevices final : public Devices {};

}  // namespace

Devices& Win32Devices() {
  static SetupApiDevices devices;
  return devices;
}

}  // namespace platform::win32
