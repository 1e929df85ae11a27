#pragma once

#include "platform/files.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// Placeholder until the file operations are built: no file exists.
class FakeFiles final : public platform::Files {
 public:
  explicit FakeFiles(CallLog& log) : log_(log) {}
  int OpenHandles() const { return 0; }

  platform::TextFileHandle fopen_r(const char* name) override {
    log_.Record("fopen", Quote(name));
    return nullptr;
  }
  char* fgets(char*, int, platform::TextFileHandle) override { return nullptr; }
  int fclose(platform::TextFileHandle) override { return 0; }
  bool CopyFileA(const char* from, const char*, bool) override {
    log_.Record("CopyFileA", Quote(from));
    return false;
  }
  std::uint32_t GetFileAttributesA(const char* path) override {
    log_.Record("GetFileAttributesA", Quote(path));
    return platform::kInvalidFileAttributes;
  }
  bool SetFileAttributesA(const char* path, std::uint32_t) override {
    log_.Record("SetFileAttributesA", Quote(path));
    return false;
  }
  bool DeleteFileA(const char* path) override {
    log_.Record("DeleteFileA", Quote(path));
    return false;
  }
  platform::FindHandle FindFirstFileA(const char* pattern, platform::FindData*) override {
    log_.Record("FindFirstFileA", Quote(pattern));
    return platform::InvalidFindHandle();
  }
  bool FindClose(platform::FindHandle) override { return false; }

 private:
  CallLog& log_;
};

}  // namespace fakes
