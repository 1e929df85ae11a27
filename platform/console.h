#pragma once

namespace platform {

// Standard output of the C runtime. Every text the programs write goes through Write,
// which behaves as printf with the text as its only argument (the texts hold no conversion).
class Console {
 public:
  virtual ~Console() = default;
  virtual void Write(const char* text) = 0;
};

}  // namespace platform
