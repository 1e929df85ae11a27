#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// A current directory for directory searches: FindFirstFileA ("FindFirstFileA" in the log)
// reports the first entry, in the order of `entries`, whose name matches the pattern ("*" and
// "?" wildcards, ASCII letters without regard to case), and FindClose ends the search. A planned
// fault, or no match, gives the invalid handle (ERROR_FILE_NOT_FOUND unless planned otherwise).
// The stream and file calls are recorded and find no file.
class FakeDirectory final : public platform::Files {
 public:
  struct Entry {
    std::string name;
    std::uint32_t attributes = 0x80;  // FILE_ATTRIBUTE_NORMAL
  };

  explicit FakeDirectory(CallLog& log) : log_(log) {}

  platform::TextFileHandle fopen_r(const char* name) override;
  char* fgets(char* buffer, int size, platform::TextFileHandle file) override;
  int fclose(platform::TextFileHandle file) override;
  bool CopyFileA(const char* existingName, const char* newName, bool failIfExists) override;
  std::uint32_t GetFileAttributesA(const char* path) override;
  bool SetFileAttributesA(const char* path, std::uint32_t attributes) override;
  bool DeleteFileA(const char* path) override;
  platform::FindHandle FindFirstFileA(const char* pattern, platform::FindData* data) override;
  bool FindClose(platform::FindHandle search) override;

  // Searches started and not ended yet.
  int OpenHandles() const { return static_cast<int>(searches_.size()); }
  // Whether `name` matches `pattern` as the fake's searches match.
  static bool Matches(const char* pattern, const char* name);

  std::vector<Entry> entries;
  int badCloses = 0;
  std::uint32_t lastError = 0;

 private:
  CallLog& log_;
  std::set<platform::FindHandle> searches_;
  std::uintptr_t nextHandle_ = 0x5000;
};

}  // namespace fakes
