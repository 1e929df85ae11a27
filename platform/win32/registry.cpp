#include "platform/registry.h"

#include <windows.h>

#include "platform/win32/platform.h"

namespace platform::win32 {
namespace {

HKEY ToKey(KeyHandle key) { return reinterpret_cast<HKEY>(key); }

class Advapi32Registry final : public Registry {
 public:
  std::int32_t RegCreateKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                               std::uint32_t access, KeyHandle* result) override {
    HKEY key = nullptr;
    const LONG error =
        ::RegCreateKeyExA(ToKey(root), subKey, 0, nullptr, options, access, nullptr, &key, nullptr);
    *result = reinterpret_cast<KeyHandle>(key);
    return error;
  }

  std::int32_t RegOpenKeyExA(KeyHandle root, const char* subKey, std::uint32_t options,
                             std::uint32_t access, KeyHandle* result) override {
    HKEY key = nullptr;
    const LONG error = ::RegOpenKeyExA(ToKey(root), subKey, options, access, &key);
    *result = reinterpret_cast<KeyHandle>(key);
    return error;
  }

  std::int32_t RegSetValueExA(KeyHandle key, const char* valueName, std::uint32_t type,
                              const unsigned char* data, std::uint32_t size) override {
    return ::RegSetValueExA(ToKey(key), valueName, 0, type, data, size);
  }

  std::int32_t RegDeleteKeyA(KeyHandle key, const char* subKey) override {
    return ::RegDeleteKeyA(ToKey(key), subKey);
  }

  std::int32_t RegDeleteValueA(KeyHandle key, const char* valueName) override {
    return ::RegDeleteValueA(ToKey(key), valueName);
  }

  std::int32_t RegCloseKey(KeyHandle key) override { return ::RegCloseKey(ToKey(key)); }
};

}  // namespace

Registry& Win32Registry() {
  static Advapi32Registry registry;
  return registry;
}

}  // namespace platform::win32
