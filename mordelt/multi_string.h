#pragma once

#include <cstdint>

#include "platform/devices.h"
#include "platform/memory.h"

namespace mordelt {

// A multi-string and the list of the strings in it, both owned until the end of the scope.
struct MultiStringIndex {
  platform::HeapBlock list;     // the start of each string, then null
  platform::HeapBlock strings;  // the strings, each ended by NUL, the list ended by an empty one

  // The null-terminated list of the strings; null when there is none.
  char** get() const { return list.as<char*>(); }
  explicit operator bool() const { return static_cast<bool>(list); }
  void reset() {
    strings.reset();
    list.reset();
  }
};

// Indexes the multi-string in `buffer` (strings each ended by NUL, the list ended by an empty
// string): n + 1 slots, the start of each of the n strings, then null. On success the index
// takes the buffer over and `buffer` is left empty. On failure (memory) the result is
// empty and `buffer` still owns the multi-string.
[[nodiscard]] MultiStringIndex SplitMultiString(platform::Memory& memory,
                                                platform::HeapBlock& buffer);

// The most times one property is read when each read reports a larger size than the last.
constexpr int kMaxPropertyReads = 4;

// Reads an identifier-list property (SPDRP_HARDWAREID, SPDRP_COMPATIBLEIDS) of one device of a
// set into an index. One read into 8192 bytes in the common case; a larger REG_MULTI_SZ value is
// read again at the size the platform reports, at most kMaxPropertyReads reads in all. Two NULs
// always follow the data, so a single string comes back as a list of one. Empty when the
// property cannot be read, keeps growing, is larger and not REG_MULTI_SZ, or memory runs out.
[[nodiscard]] MultiStringIndex ReadDeviceMultiStringProperty(platform::Memory& memory,
                                                             platform::Devices& devices,
                                                             platform::DeviceInfoSet set,
                                                             const platform::DeviceInfoData& device,
                                                             std::uint32_t property);

}  // namespace mordelt
