#pragma once

#include <cstddef>

#include "platform/unique_handle.h"

namespace platform {

// The process heap: GetProcessHeap + HeapAlloc (no flags) / HeapFree.
class Memory {
 public:
  virtual ~Memory() = default;
  // A block of exactly `bytes` bytes, or null when the heap cannot give it.
  virtual void* HeapAlloc(std::size_t bytes) = 0;
  // Releases a block from HeapAlloc; null is ignored.
  virtual void HeapFree(void* block) = 0;
};

// A heap block owned until the end of its scope.
using HeapBlock = UniqueHandle<HandleTraits<Memory, void*, &Memory::HeapFree>>;

// Takes `bytes` bytes from the heap; the result is empty when that fails.
inline HeapBlock AllocateBlock(Memory& memory, std::size_t bytes) {
  return HeapBlock(memory, memory.HeapAlloc(bytes));
}

// The size no heap can give: what a size that does not fit in size_t becomes.
constexpr std::size_t kImpossibleSize = static_cast<std::size_t>(-1);

// count * size + extra bytes, or kImpossibleSize when that does not fit.
inline std::size_t CheckedSize(std::size_t count, std::size_t size, std::size_t extra = 0) {
  if (size != 0 && count > kImpossibleSize / size) return kImpossibleSize;
  const std::size_t product = count * size;
  return product > kImpossibleSize - extra ? kImpossibleSize : product + extra;
}

}  // namespace platform
