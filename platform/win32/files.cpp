#include "platform/files.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/win32/last_error.h"
#include "platform/win32/platform.h"

namespace platform::win32 {
namespace {

// The entry with its long name in the ANSI code page when it has an exact form there that fits.
void Store(const WIN32_FIND_DATAW& found, FindData* data) {
  *data = FindData{};
  data->fileAttributes = found.dwFileAttributes;
  const std::size_t length = ::wcsnlen(found.cFileName, MAX_PATH);
  if (length == 0 || length == MAX_PATH) return;
  const AnsiConversion name =
      Win32CodePage().WideToAnsi(found.cFileName, length, data->fileName, kMaxPath - 1);
  data->nameExact = name.exact && name.bytes != 0;
  data->fileName[data->nameExact ? name.bytes : 0] = '\0';
}

// The pattern, ASCII, in its wide form; empty when it is not ASCII or too long.
bool WidePattern(const char* pattern, wchar_t (&wide)[MAX_PATH]) {
  for (std::size_t i = 0; i < MAX_PATH; ++i) {
    const auto c = static_cast<unsigned char>(pattern[i]);
    if (c >= 0x80) return false;
    wide[i] = static_cast<wchar_t>(c);
    if (c == '\0') return true;
  }
  return false;
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

  FindHandle FindFirstFileW(const char* pattern, FindData* data) override {
    wchar_t widePattern[MAX_PATH];
    if (!WidePattern(pattern, widePattern)) {
      ::SetLastError(ERROR_INVALID_PARAMETER);
      return InvalidFindHandle();
    }
    WIN32_FIND_DATAW found = {};
    HANDLE search = ::FindFirstFileW(widePattern, &found);
    if (search == INVALID_HANDLE_VALUE) return InvalidFindHandle();
    Store(found, data);
    return reinterpret_cast<FindHandle>(search);
  }
  bool FindNextFileW(FindHandle search, FindData* data) override {
    WIN32_FIND_DATAW found = {};
    if (::FindNextFileW(reinterpret_cast<HANDLE>(search), &found) == 0) return false;
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
