#include "tests/fakes/fake_memory.h"

#include <cstdlib>
#include <cstring>
#include <string>

namespace fakes {

FakeMemory::~FakeMemory() { FreeAll(); }

void* FakeMemory::HeapAlloc(std::size_t bytes) {
  if (log_.Record("HeapAlloc", std::to_string(bytes))) return nullptr;
  // Sizes no real heap can give fail as they would on the system.
  if (bytes > (static_cast<std::size_t>(1) << 40)) return nullptr;
  void* block = std::malloc(bytes == 0 ? 1 : bytes);
  if (block == nullptr) return nullptr;
  std::memset(block, 0xCD, bytes);
  blocks_[block] = bytes;
  return block;
}

void FakeMemory::HeapFree(void* block) {
  if (block == nullptr) return;
  auto found = blocks_.find(block);
  if (found == blocks_.end()) {
    ++badFrees_;
    return;
  }
  blocks_.erase(found);
  std::free(block);
}

std::size_t FakeMemory::LiveBytes() const {
  std::size_t bytes = 0;
  for (const auto& block : blocks_) bytes += block.second;
  return bytes;
}

std::size_t FakeMemory::SizeOf(const void* block) const {
  auto found = blocks_.find(const_cast<void*>(block));
  return found == blocks_.end() ? 0 : found->second;
}

void FakeMemory::FreeAll() {
  for (auto& block : blocks_) std::free(block.first);
  blocks_.clear();
}

}  // namespace fakes
