#pragma once

#include <cstdint>

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

// System error codes and registry constants the operations use.
constexpr std::int32_t kErrorSuccess = 0;
constexpr std::int32_t kErrorFileNotFound = 2;
constexpr std::int32_t kErrorAccessDenied = 5;
constexpr std::int32_t kErrorKeyDeleted = 1018;  // the key behind a handle was deleted
constexpr std::uint32_t kKeySetValue = 0x0002;   // KEY_SET_VALUE
constexpr std::uint32_t kRegSz = 1;              // REG_SZ
constexpr std::uint32_t kRegDword = 4;           // REG_DWORD
constexpr std::uint32_t kRegMultiSz = 7;         // REG_MULTI_SZ

// The Windows registry (advapi32, 8-bit forms). Results are system error codes (LONG).
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

struct RegistryKeyTraits {
  using Handle = KeyHandle;
  Registry* registry = nullptr;
  static Handle Invalid() { return nullptr; }
  void Close(Handle key) const { registry->RegCloseKey(key); }
};

// An open registry key, closed at the end of its scope.
class UniqueKey : public UniqueHandle<RegistryKeyTraits> {
 public:
  explicit UniqueKey(Registry& registry) : UniqueHandle(RegistryKeyTraits{&registry}) {}
};

}  // namespace platform
