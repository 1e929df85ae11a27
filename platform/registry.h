#pragma once

#include <cstdint>

#include "platform/system_error.h"
#include "platform/unique_handle.h"

namespace platform {

// Opaque registry key handle (HKEY).
struct RegistryKeyTag;
using KeyHandle = RegistryKeyTag*;

// HKEY_LOCAL_MACHINE.
inline KeyHandle LocalMachineKey() {
  return reinterpret_cast<KeyHandle>(
      static_cast<std::intptr_t>(static_cast<std::int32_t>(0x80000002u)));
}

// Registry constants the operations use.
constexpr std::uint32_t kKeySetValue = 0x0002;  // KEY_SET_VALUE
constexpr std::uint32_t kRegSz = 1;             // REG_SZ
constexpr std::uint32_t kRegDword = 4;          // REG_DWORD
constexpr std::uint32_t kRegMultiSz = 7;        // REG_MULTI_SZ

// The Windows registry (advapi32, 8-bit forms). Results are system error codes (LONG), as
// SystemError names them.
class Registry {
 public:
  virtual ~Registry() = default;
  // RegCreateKeyExA(root, subKey, 0, no class, options, access, no security, result, no
  // disposition): creates the key and every missing key above it, or opens it.
  virtual std::int32_t RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                                       std::uint32_t access, KeyHandle* result) = 0;
  // RegOpenKeyExA(root, subKey, options, access, result).
  virtual std::int32_t RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                                     std::uint32_t access, KeyHandle* result) = 0;
  // RegSetValueExA(key, valueName, 0, type, data, size).
  virtual std::int32_t RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t type,
                                      const unsigned char* data, std::uint32_t size) = 0;
  // RegDeleteKeyA(key, subKey): one subkey that has no subkeys of its own.
  virtual std::int32_t RegDeleteKeyA(KeyHandle key, const char* subKey) = 0;
  // RegDeleteValueA(key, valueName).
  virtual std::int32_t RegDeleteValueA(KeyHandle key, const char* valueName) = 0;
  virtual std::int32_t RegCloseKey(KeyHandle key) = 0;
};

// An open registry key, closed at the end of its scope.
using UniqueKey = UniqueHandle<HandleTraits<Registry, KeyHandle, &Registry::RegCloseKey>>;

}  // namespace platform
