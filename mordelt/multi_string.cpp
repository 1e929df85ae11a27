#include "mordelt/multi_string.h"

#include <cstddef>
#include <cstring>

#include "platform/registry.h"

namespace mordelt {
namespace {

// The first read offers this many bytes; two more are always held back for the closing NULs.
constexpr std::uint32_t kFirstPropertySize = 8192;
constexpr std::size_t kClosingNuls = 2;

// Bytes for an area that offers `offered` bytes plus the two closing NULs, or an impossible
// size when that does not fit.
std::size_t WithClosingNuls(std::uint32_t offered) {
  const std::size_t size = offered;
  if (size > static_cast<std::size_t>(-1) - kClosingNuls) return static_cast<std::size_t>(-1);
  return size + kClosingNuls;
}

}  // namespace

void FreeMultiStringIndex(platform::Memory& memory, char** index) {
  if (index == nullptr) return;
  char** const slots = index - 1;
  memory.HeapFree(slots[0]);
  memory.HeapFree(slots);
}

MultiStringIndex SplitMultiString(platform::Memory& memory, platform::HeapBlock& buffer) {
  char* const strings = buffer.chars();
  std::size_t count = 0;
  for (const char* p = strings; *p != '\0'; p += std::strlen(p) + 1) ++count;

  // count + 2 cannot overflow: each string takes at least two bytes of the buffer.
  platform::HeapBlock slotBlock =
      platform::HeapBlock::Allocate(memory, platform::CheckedArrayBytes(count + 2, sizeof(char*)));
  if (!slotBlock) return MultiStringIndex();

  char** const slots = slotBlock.as<char*>();
  std::size_t slot = 1;
  for (char* p = strings; *p != '\0'; p += std::strlen(p) + 1) slots[slot++] = p;
  slots[slot] = nullptr;
  slots[0] = static_cast<char*>(buffer.release());
  return MultiStringIndex(memory, static_cast<char**>(slotBlock.release()) + 1);
}

MultiStringIndex ReadDeviceMultiStringProperty(platform::Memory& memory, platform::Devices& devices,
                                               platform::DeviceInfoSet set,
                                               const platform::DeviceInfoData& device,
                                               std::uint32_t property) {
  std::uint32_t offered = kFirstPropertySize;
  for (int read = 0; read < kMaxPropertyReads; ++read) {
    platform::HeapBlock buffer = platform::HeapBlock::Allocate(memory, WithClosingNuls(offered));
    if (!buffer) return MultiStringIndex();

    std::uint32_t dataType = 0;
    std::uint32_t required = 0;
    const bool done = devices.SetupDiGetDeviceRegistryPropertyA(
        set, device, property, &dataType, buffer.as<unsigned char>(), offered, &required);
    if (done) {
      // The data ends at the reported size, which cannot lie beyond what was offered.
      const std::uint32_t end = required < offered ? required : offered;
      buffer.chars()[end] = '\0';
      buffer.chars()[end + 1] = '\0';
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
