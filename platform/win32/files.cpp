#include "platform/files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
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
  if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
    data->reparseTag = found.dwReserved0;
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

// A kernel file handle or a C runtime descriptor, closed at the end of its scope (keeping the
// last error) unless handed on to what takes it over.
template <typename Value, typename CloseCall>
class OwnedUntilHandedOn {
 public:
  OwnedUntilHandedOn(Value value, Value none, CloseCall close)
      : value_(value), none_(none), close_(close) {}
  ~OwnedUntilHandedOn() {
    if (value_ != none_) KeepingLastError([this] { return close_(value_); });
  }
  OwnedUntilHandedOn(const OwnedUntilHandedOn&) = delete;
  OwnedUntilHandedOn& operator=(const OwnedUntilHandedOn&) = delete;

  Value get() const { return value_; }
  void release() { value_ = none_; }

 private:
  Value value_;
  Value none_;
  CloseCall close_;
};

HANDLE ToHandle(FileHandle file) { return reinterpret_cast<HANDLE>(file); }

class Win32FileSystem final : public Files {
 public:
  FileHandle CreateFileA(const char* name, std::uint32_t access, std::uint32_t share,
                         std::uint32_t flagsAndAttributes) override {
    const HANDLE file =
        ::CreateFileA(name, access, share, nullptr, OPEN_EXISTING, flagsAndAttributes, nullptr);
    return file == INVALID_HANDLE_VALUE ? InvalidFileHandle() : reinterpret_cast<FileHandle>(file);
  }
  std::uint32_t GetFileType(FileHandle file) override { return ::GetFileType(ToHandle(file)); }
  bool GetFileInformationByHandle(FileHandle file, FileInformation* information) override {
    BY_HANDLE_FILE_INFORMATION found = {};
    if (::GetFileInformationByHandle(ToHandle(file), &found) == 0) return false;
    information->attributes = found.dwFileAttributes;
    information->numberOfLinks = found.nNumberOfLinks;
    return true;
  }
  bool SetFileBasicInfo(FileHandle file, std::uint32_t attributes) override {
    FILE_BASIC_INFO basic = {};  // times of 0: left as they are
    basic.FileAttributes = attributes;
    return ::SetFileInformationByHandle(ToHandle(file), FileBasicInfo, &basic, sizeof basic) != 0;
  }
  bool SetFileDispositionInfo(FileHandle file) override {
    FILE_DISPOSITION_INFO disposition = {};
    disposition.DeleteFile = TRUE;
    return ::SetFileInformationByHandle(ToHandle(file), FileDispositionInfo, &disposition,
                                        sizeof disposition) != 0;
  }
  bool CloseHandle(FileHandle file) override {
    return KeepingLastError([file] { return ::CloseHandle(ToHandle(file)); }) != 0;
  }

  // The C runtime's fopen reports why an open failed through errno only, and leaves the thread's
  // last error unreliable. So the file is opened with CreateFileA, and its handle becomes a
  // text-mode stream here.
  TextFileHandle fdopen_r(FileHandle file) override {
    OwnedUntilHandedOn handle(ToHandle(file), INVALID_HANDLE_VALUE,
                              [](HANDLE h) { return ::CloseHandle(h); });
    OwnedUntilHandedOn descriptor(
        ::_open_osfhandle(reinterpret_cast<std::intptr_t>(handle.get()), _O_RDONLY | _O_TEXT), -1,
        [](int d) { return ::_close(d); });
    if (descriptor.get() == -1) {
      ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
      return nullptr;
    }
    handle.release();  // the descriptor owns the handle now
    std::FILE* const stream = ::_fdopen(descriptor.get(), "r");
    if (stream == nullptr) {
      ::SetLastError(ERROR_NOT_ENOUGH_MEMORY);
      return nullptr;
    }
    descriptor.release();  // the stream owns the descriptor now
    return reinterpret_cast<TextFileHandle>(stream);
  }
  char* fgets(char* buffer, int size, TextFileHandle file) override {
    return std::fgets(buffer, size, ToStream(file));
  }
  int ferror(TextFileHandle file) override { return std::ferror(ToStream(file)); }
  int fclose(TextFileHandle file) override {
    return KeepingLastError([file] { return std::fclose(ToStream(file)); });
  }

  bool CopyFileA(const char* existingName, const char* newName, bool failIfExists) override {
    return ::CopyFileA(existingName, newName, failIfExists ? TRUE : FALSE) != 0;
  }
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
