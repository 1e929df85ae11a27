#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/code_page.h"
#include "platform/registry.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// A value as the registry holds it: its type and its bytes exactly as they were set.
struct RegistryValue {
  std::uint32_t type = 0;
  std::string bytes;
};

// An in-memory registry below HKEY_LOCAL_MACHINE (the only root it knows; any other root or an
// unknown handle gives ERROR_INVALID_HANDLE, 6).
//
// Behaviour, as the system's:
// - Key paths are split at backslashes (stepping over the double-byte characters of the code page
//   when one is given, so a trail byte 0x5C is not a separator); empty components are ignored, a
//   path that begins with a backslash gives ERROR_BAD_PATHNAME (161). Key and value names compare
//   without regard to the case of ASCII letters; a key keeps the case it was created with.
// - RegCreateKeyExA creates the key and every missing key above it, or opens it.
// - RegOpenKeyExA opens an existing key (2 when missing) with the access mask asked for.
// - RegSetValueExA and RegDeleteValueA need KEY_SET_VALUE on the handle (5 otherwise);
//   RegSetValueExA replaces a value whatever its type; RegDeleteValueA gives 2 for a missing value.
// - RegDeleteKeyA deletes the subkey (a relative path) only when it has no subkeys (5 otherwise),
//   2 when it is missing. A handle to a deleted key gives ERROR_KEY_DELETED (1018), even when a
//   key of the same path was created again since.
// - Every call is recorded in the CallLog with its exact parameters (formats below) and fails
//   with the planned error when the log says so: a failed create or open hands out no handle, a
//   failed set or delete changes nothing, and a failed RegCloseKey still closes the handle. The
//   usual error of a planned fault is ERROR_ACCESS_DENIED (5), ERROR_INVALID_HANDLE (6) for close.
//
// Log formats (root "HKLM", handles "key#N" in the order they were handed out):
//   RegCreateKeyExA  HKLM, "path", options 0x0, access 0x0
//   RegOpenKeyExA    HKLM, "path", options 0x0, access 0x2
//   RegSetValueExA   key#2, "name", type 1, data "C:\x00", size 4   (data: the `size` bytes, those
//                    outside 0x20-0x7E as \xHH; "null" for null data)
//   RegDeleteKeyA    key#2, "subkey"
//   RegDeleteValueA  key#2, "name"
//   RegCloseKey      key#2
class FakeRegistry final : public platform::Registry {
 public:
  explicit FakeRegistry(CallLog& log, const platform::CodePage* codePage = nullptr);
  ~FakeRegistry() override;

  std::int32_t RegCreateKeyExA(platform::KeyHandle root, const char* subKey, std::uint32_t options,
                               std::uint32_t access, platform::KeyHandle* result) override;
  std::int32_t RegOpenKeyExA(platform::KeyHandle root, const char* subKey, std::uint32_t options,
                             std::uint32_t access, platform::KeyHandle* result) override;
  std::int32_t RegSetValueExA(platform::KeyHandle key, const char* valueName, std::uint32_t type,
                              const unsigned char* data, std::uint32_t size) override;
  std::int32_t RegDeleteKeyA(platform::KeyHandle key, const char* subKey) override;
  std::int32_t RegDeleteValueA(platform::KeyHandle key, const char* valueName) override;
  std::int32_t RegCloseKey(platform::KeyHandle key) override;

  // Test set-up and inspection, by key path below HKEY_LOCAL_MACHINE ("" is the root). None of
  // these is recorded in the log.
  void AddKey(const std::string& path);  // with every key above it
  void PutValue(const std::string& path, const std::string& name, std::uint32_t type,
                const std::string& bytes);  // creates the key too
  void PutString(const std::string& path, const std::string& name, const std::string& text) {
    PutValue(path, name, platform::kRegSz, text + std::string(1, '\0'));
  }
  bool KeyExists(const std::string& path) const;
  std::optional<RegistryValue> Value(const std::string& path, const std::string& name) const;
  // The text of a REG_SZ value without its terminating zero; nothing for a missing value or
  // another type.
  std::optional<std::string> StringValue(const std::string& path, const std::string& name) const;
  std::size_t ValueCount(const std::string& path) const;  // 0 for a missing key
  std::vector<std::string> SubkeyNames(const std::string& path) const;
  // Keys and values below the root, one per line ("path" / "path: name = type bytes"), sorted.
  std::string Dump() const;

  // RegCreateKeyExA on this key answers ERROR_ACCESS_DENIED and changes nothing, whether the key
  // exists or not (a caller allowed to set values of an existing key, not to create keys).
  void DenyCreate(const std::string& path);
  // RegOpenKeyExA on this key with KEY_SET_VALUE in the mask answers ERROR_ACCESS_DENIED.
  void DenySetValue(const std::string& path);
  // Someone else deletes the key `path` with everything below it right before the
  // `occurrence`-th (0-based) registry call named `call`. Handles opened before stand for the
  // deleted key, even once the key is created again.
  void DeleteKeyBefore(const std::string& call, int occurrence, const std::string& path);

  int OpenHandles() const { return static_cast<int>(handles_.size()); }

 private:
  struct Key;
  struct Handle {
    std::vector<std::string> path;  // components below the root
    std::uint32_t access;
    std::uint64_t serial;  // of the key opened: a key created again at the path is another
  };
  struct Deletion {
    std::string call;
    int occurrence;
    std::vector<std::string> path;
  };

  std::vector<std::string> Split(const std::string& path) const;
  Key* Find(const std::vector<std::string>& path) const;
  Key* Create(const std::vector<std::string>& path);
  std::string Describe(platform::KeyHandle key) const;
  // The key a handle or the root stands for, with its path; null and an error when there is none.
  Key* Resolve(platform::KeyHandle key, std::vector<std::string>* path, std::int32_t* error) const;
  // The log arguments of RegCreateKeyExA and RegOpenKeyExA.
  std::string OpeningArguments(platform::KeyHandle root, const char* subKey, std::uint32_t options,
                               std::uint32_t access) const;
  // Sets `path` to the key `subKey` names below `root` (whether it exists or not) and gives
  // kErrorSuccess, or the error the system gives for a bad handle or a path starting with "\\".
  std::int32_t SubKeyPath(platform::KeyHandle root, const char* subKey,
                          std::vector<std::string>* path) const;
  // The key behind a handle opened with KEY_SET_VALUE (or a root); null and an error otherwise.
  Key* WritableKey(platform::KeyHandle key, std::int32_t* error) const;
  platform::KeyHandle NewHandle(std::vector<std::string> path, std::uint32_t access);
  // Carries out the deletions planned for this call.
  void BeforeCall(const std::string& call);
  bool Denied(const std::vector<std::string>& wanted,
              const std::vector<std::vector<std::string>>& list) const;

  CallLog& log_;
  const platform::CodePage* codePage_;
  std::unique_ptr<Key> root_;
  std::map<std::uintptr_t, Handle> handles_;
  std::uintptr_t nextHandle_ = 1;
  std::vector<std::vector<std::string>> denyCreate_;
  std::vector<std::vector<std::string>> denySetValue_;
  std::vector<Deletion> deletions_;
  std::map<std::string, int> callsMade_;  // by name, for the planned deletions
  std::uint64_t nextSerial_ = 1;
};

}  // namespace fakes
