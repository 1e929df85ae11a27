#include "mordelt/registry_values.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "common/multibyte.h"
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

// Whether two key paths surely name the same key: equal but for the case of ASCII letters. The
// registry ignores case beyond ASCII too, but through the code page's mapping to Unicode; those
// characters, and both bytes of a double-byte character, are compared exactly.
bool SameKeyPath(const platform::CodePage& codePage, const char* a, const char* b) {
  for (;;) {
    if (common::IsLeadPair(codePage, a) || common::IsLeadPair(codePage, b)) {
      if (a[0] != b[0] || a[1] != b[1]) return false;
      a += 2;
      b += 2;
      continue;
    }
    if (common::ToLowerAscii(*a) != common::ToLowerAscii(*b)) return false;
    if (*a == '\0') return true;
    ++a;
    ++b;
  }
}

// The result of an operation's own call on a prepared key.
struct KeyCall {
  bool prepared = false;  // false: the preparation failed and no call was made
  std::int32_t result = platform::kErrorSuccess;
};

// Prepares the key (or takes the held one) and makes `call` on it. A held key that was deleted
// since it was prepared is prepared again, once.
template <typename Call>
KeyCall CallOnKey(HeldKey& key, const char* keyPath, Call call) {
  bool held = false;
  platform::KeyHandle handle = key.Open(keyPath, &held);
  if (handle == nullptr) return KeyCall{};
  std::int32_t result = call(handle);
  if (result == platform::kErrorKeyDeleted && held) {
    handle = key.Prepare(keyPath);
    if (handle == nullptr) return KeyCall{};
    result = call(handle);
  }
  return KeyCall{true, result};
}

}  // namespace

platform::KeyHandle HeldKey::Open(const char* keyPath, bool* held) {
  *held = key_ && pathKept_ && SameKeyPath(codePage_, path_, keyPath);
  return *held ? key_.get() : Prepare(keyPath);
}

platform::KeyHandle HeldKey::Prepare(const char* keyPath) {
  key_.reset();  // one key open at a time
  key_ = OpenKeyForSetting(registry_, keyPath);
  const std::size_t length = std::strlen(keyPath);
  pathKept_ = key_ && length < kPathCapacity;
  if (pathKept_) std::memcpy(path_, keyPath, length + 1);
  return key_.get();
}

int SetRegistryString(const platform::Platform& platform, HeldKey& key, const char* keyPath,
                      const char* valueName, const char* data) {
  const std::size_t size = std::strlen(data) + 1;  // the terminating zero is stored too
  const KeyCall made = CallOnKey(key, keyPath, [&](platform::KeyHandle handle) -> std::int32_t {
    if (size > UINT32_MAX) return platform::kErrorAccessDenied;  // more than a value can hold
    return platform.registry.RegSetValueExA(handle, valueName, platform::kRegSz,
                                            reinterpret_cast<const unsigned char*>(data),
                                            static_cast<std::uint32_t>(size));
  });
  return made.prepared && made.result == platform::kErrorSuccess ? kExitSuccess
                                                                 : kExitSetValueFailed;
}

int DeleteRegistryValue(const platform::Platform& platform, HeldKey& key, const char* keyPath,
                        const char* valueName) {
  const KeyCall made = CallOnKey(key, keyPath, [&](platform::KeyHandle handle) {
    return platform.registry.RegDeleteValueA(handle, valueName);
  });
  if (made.prepared && made.result == platform::kErrorSuccess) return kExitSuccess;
  if (made.prepared) {
    char message[64];
    std::snprintf(message, sizeof message, "Error: the number of error is %d",
                  static_cast<int>(made.result));
    platform.console.Write(message);  // before the key is closed
  }
  return kExitDeleteFailed;
}

int SetRegistryString(const platform::Platform& platform, const char* keyPath,
                      const char* valueName, const char* data) {
  HeldKey key(platform.registry, platform.codePage);
  return SetRegistryString(platform, key, keyPath, valueName, data);
}

int DeleteRegistryValue(const platform::Platform& platform, const char* keyPath,
                        const char* valueName) {
  HeldKey key(platform.registry, platform.codePage);
  return DeleteRegistryValue(platform, key, keyPath, valueName);
}

int DeleteRegistrySubkey(const platform::Platform& platform, const char* keyPath,
                         const char* subkeyName) {
  const UniqueKey key = OpenKeyForSetting(platform.registry, keyPath);
  if (!key) return kExitDeleteFailed;

  const std::int32_t result = platform.registry.RegDeleteKeyA(key.get(), subkeyName);
  return result == platform::kErrorSuccess ? kExitSuccess : kExitDeleteFailed;
}

}  // namespace mordelt
