#include "platform/memory.h"

#include <windows.h>

#include "platform/win32/platform.h"

namespace platform::win32 {
namespace {

class ProcessHeap final : public Memory {
 public:
  void* HeapAlloc(std::size_t bytes) override { return ::HeapAlloc(GetProcessHeap(), 0, bytes); }
  void HeapFree(void* block) override {
    if (block != nullptr) ::HeapFree(GetProcessHeap(), 0, block);
  }
};

}  // namespace

Memory& Win32Memory() {
  static ProcessHeap heap;
  return heap;
}

}  // namespace platform::win32
