#pragma once

#include <string>
#include <vector>

#include "platform/console.h"

namespace fakes {

// Standard output as the test sees it: every text, and each call's text on its own.
class FakeConsole final : public platform::Console {
 public:
  void Write(const char* text) override {
    writes.emplace_back(text);
    output += text;
  }
  std::string output;
  std::vector<std::string> writes;
};

}  // namespace fakes
