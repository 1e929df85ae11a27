#pragma once

namespace platform {

// SetupAPI and the Configuration Manager (setupapi, cfgmgr32, 8-bit forms).
class Devices {
 public:
  virtual ~Devices() = default;
};

}  // namespace platform
