#include "mordelt/device_rescan.h"

namespace mordelt {
namespace {

constexpr int kRescanFailed = 2;

}  // namespace

int RescanDeviceTree(platform::Devices& devices) {
  platform::DevInst root = 0;
  if (devices.CM_Locate_DevNode_ExA(&root, nullptr, 0, nullptr) != platform::kCrSuccess) {
    return kRescanFailed;
  }
  if (devices.CM_Reenumerate_DevNode_Ex(root, 0, nullptr) != platform::kCrSuccess) {
    return kRescanFailed;
  }
  return 0;
}

}  // namespace mordelt
