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

struct HeapBlockTraits {
  using Handle = void*;
  Memory* memory = nullptr;
  static Handle Invalid() { return nullptr; }
  void Close(Handle block) const { memory->HeapFree(block); }
};

// A heap block owned until the end of its scope.
class HeapBlock : public UniqueHandle<HeapBlockTraits> {
 public:
  HeapBlock() = default;
  HeapBlock(Memory& memory, void* block) : UniqueHandle(HeapBlockTraits{&memory}, block) {}
  // Takes `bytes` bytes from the heap; the result is empty when that fails.
  static HeapBlock Allocate(Memory& memory, std::size_t bytes) {
    return HeapBlock(memory, memory.HeapAlloc(bytes));
  }
  char* chars() const { return static_cast<char*>(get()); }
  template <typename T>
  T* as() const {
    return static_cast<T*>(get());
  }
};

// Size of `count` elements of `size` bytes, or an impossible size (the largest value, which
// no heap can give) when the product does not fit.
inline std::size_t CheckedArrayBytes(std::size_t count, std::size_t size) {
  if (size != 0 && count > static_cast<std::size_t>(-1) / size) return static_cast<std::size_t>(-1);
  return count * size;
}

}  // namespace platform
