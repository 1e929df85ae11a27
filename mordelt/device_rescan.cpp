#include "mordelt/device_rescan.h"

#include "mordelt/exit_codes.h"

namespace mordelt {

int RescanDeviceTree(platform::Devices& devices) {
  platform::DevInst root = 0;
  if (devices.CM_Locate_DevNode_ExA(&root, nullptr, 0, nullptr) != platform::kCrSuccess) {
    return kExitDeviceFailure;
  }
  if (devices.CM_Reenumerate_DevNode_Ex(root, 0, nullptr) != platform::kCrSuccess) {
    return kExitDeviceFailure;
  }
  return kExitSuccess;
}

}  // namespace mordelt
