#include "mordelt/registry_values.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/registry.h"

namespace mordelt {
namespace {

using platform::UniqueKey;

// Key preparation of the three operations. Makes the key at `keyPath` exist (creating it and the
// keys above it), then opens it with KEY_SET_VALUE alone. The create step asks for no access
// right and its handle is closed at once; a refusal to create (ERROR_ACCESS_DENIED) passes on, so
// an existing key whose values the caller may set still opens. Empty when the key cannot be
// opened, or when the create step failed with another error.
UniqueKey OpenKeyForSetting(platform::Registry& registry, const char* keyPath) {
  UniqueKey key(registry);

  platform::KeyHandle created = nullptr;
  const std::int32_t createResult =
      registry.RegCreateKeyExA(platform::LocalMachineKey(), keyPath, 0, 0, &created);
  if (createResult == platform::kErrorSuccess) {
    key.reset(created);
    key.reset();  // only the key's existence was wanted
  } else if (createResult != platform::kErrorAccessDenied) {
    return key;
  }

  platform::KeyHandle opened = nullptr;
  if (registry.RegOpenKeyExA(platform::LocalMachineKey(), keyPath, 0, platform::kKeySetValue,
                             &opened) == platform::kErrorSuccess) {
    key.reset(opened);
  }
  return key;
}

}  // namespace

int SetRegistryString(const platform::Platform& platform, const char* keyPath,
                      const char* valueName, const char* data) {
  const UniqueKey key = OpenKeyForSetting(platform.registry, keyPath);
  if (!key) return kSetValueFailed;

  const std::size_t size = std::strlen(data) + 1;  // the terminating zero is stored too
  if (size > UINT32_MAX) return kSetValueFailed;   // more than a value can hold
  const std::int32_t result = platform.registry.RegSetValueExA(
      key.get(), valueName, platform::kRegSz, reinterpret_cast<const unsigned char*>(data),
      static_cast<std::uint32_t>(size));
  return result == platform::kErrorSuccess ? kRegistrySuccess : kSetValueFailed;
}

int DeleteRegistryValue(const platform::Platform& platform, const char* keyPath,
                        const char* valueName) {
  const UniqueKey key = OpenKeyForSetting(platform.registry, keyPath);
  if (!key) return kDeleteFailed;

  const std::int32_t result = platform.registry.RegDeleteValueA(key.get(), valueName);
  if (result != platform::kErrorSuccess) {
    char message[64];
    std::snprintf(message, sizeof message, "Error: the number of error is %d",
                  static_cast<int>(result));
    platform.console.Write(message);  // before the key is closed
    return kDeleteFailed;
  }
  return kRegistrySuccess;
}

int DeleteRegistrySubkey(const platform::Platform& platform, const char* keyPath,
                         const char* subkeyName) {
  const UniqueKey key = OpenKeyForSetting(platform.registry, keyPath);
  if (!key) return kDeleteFailed;

  const std::int32_t result = platform.registry.RegDeleteKeyA(key.get(), subkeyName);
  return result == platform::kErrorSuccess ? kRegistrySuccess : kDeleteFailed;
}

}  // namespace mordelt
