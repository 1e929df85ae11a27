#pragma once

#include <cstddef>
#include <map>

#include "platform/memory.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// A heap that counts its live blocks and can refuse any allocation ("HeapAlloc" in the log).
// Blocks are filled with 0xCD so that code relying on zeroed memory shows up.
class FakeMemory final : public platform::Memory {
 public:
  explicit FakeMemory(CallLog& log) : log_(log) {}
  ~FakeMemory() override;

  void* HeapAlloc(std::size_t bytes) override;
  void HeapFree(void* block) override;

  std::size_t LiveBlocks() const { return blocks_.size(); }
  std::size_t LiveBytes() const;
  std::size_t SizeOf(const void* block) const;
  // Releases every live block (the blocks a program keeps until it ends).
  void FreeAll();
  // Frees that were not of a live block.
  int BadFrees() const { return badFrees_; }

 private:
  CallLog& log_;
  std::map<void*, std::size_t> blocks_;
  int badFrees_ = 0;
};

}  // namespace fakes
