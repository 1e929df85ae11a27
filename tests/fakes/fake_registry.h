#pragma once

#include "platform/registry.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// Placeholder until the registry operations are built: every call is refused.
class FakeRegistry final : public platform::Registry {
 public:
  explicit FakeRegistry(CallLog& log) : log_(log) {}
  int OpenHandles() const { return 0; }

  std::int32_t RegCreateKeyExA(platform::KeyHandle, const char* subKey, std::uint32_t,
                               std::uint32_t, platform::KeyHandle*) override {
    return Refuse("RegCreateKeyExA", subKey);
  }
  std::int32_t RegOpenKeyExA(platform::KeyHandle, const char* subKey, std::uint32_t, std::uint32_t,
                             platform::KeyHandle*) override {
    return Refuse("RegOpenKeyExA", subKey);
  }
  std::int32_t RegSetValueExA(platform::KeyHandle, const char* name, std::uint32_t,
                              const unsigned char*, std::uint32_t) override {
    return Refuse("RegSetValueExA", name);
  }
  std::int32_t RegDeleteKeyA(platform::KeyHandle, const char* subKey) override {
    return Refuse("RegDeleteKeyA", subKey);
  }
  std::int32_t RegDeleteValueA(platform::KeyHandle, const char* name) override {
    return Refuse("RegDeleteValueA", name);
  }
  std::int32_t RegCloseKey(platform::KeyHandle) override { return Refuse("RegCloseKey", ""); }

 private:
  std::int32_t Refuse(const char* call, const char* argument) {
    log_.Record(call, Quote(argument));
    return 1;
  }
  CallLog& log_;
};

}  // namespace fakes
