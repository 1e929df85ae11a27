#pragma once

#include "platform/devices.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// Placeholder until the device operations are built.
class FakeDevices final : public platform::Devices {
 public:
  explicit FakeDevices(CallLog& log) : log_(log) {}
  int OpenHandles() const { return 0; }
  CallLog& log() { return log_; }

 private:
  CallLog& log_;
};

}  // namespace fakes
