#include "platform/files.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

#include "platform/win32/last_error.h"
#include "platform/win32/platform.h"

namespace platform::win32 {
namespace {

void Store(const WIN32_FIND_DATAA& found, FindData* data) {
  static_assert(sizeof data->fileName == sizeof found.cFileName, "file name buffers differ");
  data->fileAttributes = found.dwFileAttributes;
  std::memcpy(data->fileName, found.cFileName, sizeof data->fileName);
}

std::FILE* ToStream(TextFileHandle file) { return reinterpret_cast<std::FILE*>(file); }

class Win32FileSystem final : public Files {
 public:
  TextFileHandle fopen_r(const char* name) override {
    return reinterpret_cast<TextFileHandle>(std::fopen(name, "r"));
  }
  char* fgets(char* buffer, int size, TextFileHandle file) override {
    return std::fgets(buffer, size, ToStream(file));
  }
  int fclose(TextFileHandle file) override {
    return KeepingLastError([file] { return std::fclose(ToStream(file)); });
  }

  bool CopyFileA(const char* existingName, const char* newName, bool failIfExists) override {
    return ::CopyFileA(existingName, newName, failIfExists ? TRUE : FALSE) != 0;
  }
  std::uint32_t GetFileAttributesA(const char* path) override { return ::GetFileAttributesA(path); }
  bool SetFileAttributesA(const char* path, std::uint32_t attributes) override {
    return ::SetFileAttributesA(path, attributes) != 0;
  }
  bool DeleteFileA(const char* path) override { return ::DeleteFileA(path) != 0; }
  SystemError GetLastError() override { return ::GetLastError(); }

  FindHandle FindFirstFileA(const char* pattern, FindData* data) override {
    WIN32_FIND_DATAA found = {};
    HANDLE search = ::FindFirstFileA(pattern, &found);
    if (search == INVALID_HANDLE_VALUE) return InvalidFindHandle();
    Store(found, data);
    return reinterpret_cast<FindHandle>(search);
  }
  bool FindNextFileA(FindHandle search, FindData* data) override {
    WIN32_FIND_DATAA found = {};
    if (::FindNextFileA(reinterpret_cast<HANDLE>(search), &found) == 0) return false;
    Store(found, data);
    return true;
  }
  bool FindClose(FindHandle search) override {
    return KeepingLastError([search] { return ::FindClose(reinterpret_cast<HANDLE>(search)); }) !=
           0;
  }
};

}  // namespace

Files& Win32Files() {
  static Win32FileSystem files;
  return files;
}

}  // namespace platform::win32
