#pragma once

#include "platform/devices.h"

namespace mordelt {

// Asks the Plug and Play manager of the local machine to re-enumerate the device tree from its
// root. Returns 0 when the root was located and the re-enumeration accepted, 2 when either
// call failed. Nothing is retried or printed.
[[nodiscard]] int RescanDeviceTree(platform::Devices& devices);

}  // namespace mordelt
