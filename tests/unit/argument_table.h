#pragma once

#include <initializer_list>
#include <string>
#include <vector>

namespace testing_support {

// An argument table of writable entries, each ending in two NULs, as the splitter leaves them.
class ArgumentTable {
 public:
  ArgumentTable(std::initializer_list<const char*> entries) {
    for (const char* entry : entries) Add(entry);
  }
  explicit ArgumentTable(const std::vector<const char*>& entries) {
    for (const char* entry : entries) Add(entry);
  }
  // A copy would point into the original's entries; a move keeps the entries where they are.
  ArgumentTable(const ArgumentTable&) = delete;
  ArgumentTable& operator=(const ArgumentTable&) = delete;
  ArgumentTable(ArgumentTable&&) = default;
  ArgumentTable& operator=(ArgumentTable&&) = default;

  char** data() { return pointers_.data(); }
  int count() const { return static_cast<int>(pointers_.size()); }
  std::string at(int i) const { return pointers_[i]; }

 private:
  void Add(const char* entry) {
    std::vector<char> block(entry, entry + std::string(entry).size());
    block.push_back('\0');
    block.push_back('\0');
    storage_.push_back(std::move(block));
    pointers_.clear();
    for (auto& stored : storage_) pointers_.push_back(stored.data());
  }
  std::vector<std::vector<char>> storage_;
  std::vector<char*> pointers_;
};

}  // namespace testing_support
