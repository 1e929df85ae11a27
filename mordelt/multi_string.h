#pragma once

#include <cstdint>

#include "platform/devices.h"
#include "platform/memory.h"
#include "platform/unique_handle.h"

namespace mordelt {

// Releases a multi-string index (the address of its slot 1): the buffer held in slot 0, then
// the slot array. Null does nothing.
void FreeMultiStringIndex(platform::Memory& memory, char** index);

struct MultiStringIndexTraits {
  using Handle = char**;
  platform::Memory* memory = nullptr;
  static Handle Invalid() { return nullptr; }
  void Close(Handle index) const { FreeMultiStringIndex(*memory, index); }
};

// A multi-string index owned until the end of its scope. get() is the null-terminated list of
// the strings (slot 1 on); the slot before it holds the buffer the strings lie in.
class MultiStringIndex : public platform::UniqueHandle<MultiStringIndexTraits> {
 public:
  MultiStringIndex() = default;
  MultiStringIndex(platform::Memory& memory, char** index)
      : UniqueHandle(MultiStringIndexTraits{&memory}, index) {}
};

// Indexes the multi-string in `buffer` (strings each ended by NUL, the list ended by an empty
// string): n + 2 slots, the buffer, the start of each of the n strings, null. On success the
// index takes the buffer over and `buffer` is left empty. On failure (memory) the result is
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
