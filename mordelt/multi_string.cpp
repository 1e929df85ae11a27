#include "mordelt/multi_string.h"

#include <cstddef>
#include <cstring>
#include <utility>

#include "platform/registry.h"

namespace mordelt {
namespace {

// The first read offers this many bytes; two more are always held back for the closing NULs.
constexpr std::uint32_t kFirstPropertySize = 8192;
constexpr std::size_t kClosingNuls = 2;

}  // namespace

MultiStringIndex SplitMultiString(platform::Memory& memory, platform::HeapBlock& buffer) {
  char* const strings = buffer.as<char>();
  std::size_t count = 0;
  for (const char* p = strings; *p != '\0'; p += std::strlen(p) + 1) ++count;

  // count + 1 cannot overflow: each string takes at least two bytes of the buffer.
  MultiStringIndex index;
  index.list = platform::AllocateBlock(memory, platform::CheckedSize(count + 1, sizeof(char*)));
  if (!index.list) return MultiStringIndex();

  char** const slots = index.get();
  std::size_t slot = 0;
  for (char* p = strings; *p != '\0'; p += std::strlen(p) + 1) slots[slot++] = p;
  slots[slot] = nullptr;
  index.strings = std::move(buffer);
  return index;
}

MultiStringIndex ReadDeviceMultiStringProperty(platform::Memory& memory, platform::Devices& devices,
                                               platform::DeviceInfoSet set,
                                               const platform::DeviceInfoData& device,
                                               std::uint32_t property) {
  std::uint32_t offered = kFirstPropertySize;
  for (int read = 0; read < kMaxPropertyReads; ++read) {
    platform::HeapBlock buffer =
        platform::AllocateBlock(memory, platform::CheckedSize(offered, 1, kClosingNuls));
    if (!buffer) return MultiStringIndex();

    std::uint32_t dataType = 0;
    std::uint32_t required = 0;
    const bool done = devices.SetupDiGetDeviceRegistryPropertyA(
        set, device, property, &dataType, buffer.as<unsigned char>(), offered, &required);
    if (done) {
      // The data ends at the reported size, which cannot lie beyond what was offered.
      const std::uint32_t end = required < offered ? required : offered;
      buffer.as<char>()[end] = '\0';
      buffer.as<char>()[end + 1] = '\0';
      return SplitMultiString(memory, buffer);
    }
    if (devices.GetLastError() != platform::kErrorInsufficientBuffer ||
        dataType != platform::kRegMultiSz) {
      return MultiStringIndex();
    }
    offered = required;
  }
  return MultiStringIndex();
}

}  // namespace mordelt
