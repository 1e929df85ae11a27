#pragma once

#include <cstddef>

#include "mordelt/exit_codes.h"
#include "platform/platform.h"
#include "platform/registry.h"

namespace mordelt {

// The system error code behind a failure is never returned: the operations end with Mordelt's
// exit codes.

// Every key path names a key below HKEY_LOCAL_MACHINE and is handed to the registry unchanged
// (an empty path names HKEY_LOCAL_MACHINE itself). Each operation first prepares the key: it makes
// the key exist (a key it creates stays, whatever happens next), then opens it with the right to
// set values only. No key handle outlives a call of the three forms below.

// Stores `data` as the REG_SZ value `valueName` (empty: the unnamed value) of the key, replacing
// a value of that name whatever its type; the terminating zero is stored too. Returns 0, or 5
// when any step fails; no value is changed then.
[[nodiscard]] int SetRegistryString(const platform::Platform& platform, const char* keyPath,
                                    const char* valueName, const char* data);

// Removes the value `valueName` of the key. Returns 0, or 6 when any step fails. When the removal
// itself fails, writes "Error: the number of error is <system error code>" with no line end.
[[nodiscard]] int DeleteRegistryValue(const platform::Platform& platform, const char* keyPath,
                                      const char* valueName);

// Removes the subkey `subkeyName` of the key, only when it has no subkeys of its own. Returns 0,
// or 6 when any step fails (nothing is removed then). Writes nothing.
[[nodiscard]] int DeleteRegistrySubkey(const platform::Platform& platform, const char* keyPath,
                                       const char* subkeyName);

// A prepared key kept open from one operation to the next while they name the same key, as a
// registry script's entries do one after another: the key is prepared once, not once per value.
// A key path names the same key as the held one when the two are equal but for the case of
// ASCII letters (the registry ignores case; a double-byte character, or a byte of 0x80 or above,
// must match exactly). Any other path, even one the registry might take for the same key, closes
// the held key and prepares afresh. A path too long to keep is prepared afresh each time.
//
// When a held key turns out to have been deleted meanwhile (ERROR_KEY_DELETED), it is prepared
// again, once, and the operation made on the new handle: the operation then ends as it would
// have had it prepared the key itself. The key is closed at the end of the HeldKey's scope.
//
// A held handle stands for the key, not for its path. When another program renames the key (or
// a key above it) between two operations, the later operations on that path are made in the
// renamed key, where preparing the key for each would have created a new key at the path; and
// rights are checked when the key is opened, not for each operation on the held handle.
class HeldKey {
 public:
  HeldKey(platform::Registry& registry, const platform::CodePage& codePage)
      : registry_(registry), codePage_(codePage), key_(registry) {}
  HeldKey(const HeldKey&) = delete;
  HeldKey& operator=(const HeldKey&) = delete;

  // The open key for `keyPath`, prepared now or held from before (`*held` says which); null when
  // the preparation failed.
  platform::KeyHandle Open(const char* keyPath, bool* held);
  // Closes the held key and prepares `keyPath` afresh; null when that fails.
  platform::KeyHandle Prepare(const char* keyPath);

 private:
  static constexpr std::size_t kPathCapacity = 1024;

  platform::Registry& registry_;
  const platform::CodePage& codePage_;
  platform::UniqueKey key_;
  bool pathKept_ = false;  // path_ names the key that key_ holds
  char path_[kPathCapacity];
};

// The same operations on a key held across calls (above). While no other program renames the
// held key or changes its rights meanwhile, what the registry ends up holding, the results and
// the texts are those of the forms above.
[[nodiscard]] int SetRegistryString(const platform::Platform& platform, HeldKey& key,
                                    const char* keyPath, const char* valueName, const char* data);
[[nodiscard]] int DeleteRegistryValue(const platform::Platform& platform, HeldKey& key,
                                      const char* keyPath, const char* valueName);

}  // namespace mordelt
