#pragma once

#include "platform/platform.h"

namespace mordelt {

// Results of the registry operations. The system error code behind a failure is never returned.
constexpr int kRegistrySuccess = 0;
constexpr int kSetValueFailed = 5;
constexpr int kDeleteFailed = 6;

// Every key path names a key below HKEY_LOCAL_MACHINE and is handed to the registry unchanged
// (an empty path names HKEY_LOCAL_MACHINE itself). Each operation first makes the key exist (a key
// it creates stays, whatever happens next), then opens it with the right to set values only.
// No key handle outlives the call.

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

}  // namespace mordelt
