#include "platform/files.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
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

// A kernel file handle, closed at the end of its scope unless handed on.
class OwnedFileHandle {
 public:
  explicit OwnedFileHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedFileHandle() {
    if (handle_ != INVALID_HANDLE_VALUE)
      KeepingLastError([this] { return ::CloseHandle(handle_); });
  }
  OwnedFileHandle(const OwnedFileHandle&) = delete;
  OwnedFileHandle& operator=(const OwnedFileHandle&) = delete;

  HANDLE get() const { return handle_; }
  void release() { handle_ = INVALID_HANDLE_VALUE; }

 private:
  HANDLE handle_;
};

// A C runtime file descriptor, closed (with the kernel handle it owns) at the end of its scope
// unless handed on.
class OwnedDescriptor {
 public:
  explicit OwnedDescriptor(int descriptor) : descriptor_(descriptor) {}
  ~OwnedDescriptor() {
    if (descriptor_ != -1) KeepingLastError([this] { return ::_close(descriptor_); });
  }
  OwnedDescriptor(const OwnedDescriptor&) = delete;
  OwnedDescriptor& operator=(const OwnedDescriptor&) = delete;

  int get() const { return descriptor_; }
  void release() { descriptor_ = -1; }

 private:
  int descriptor_;
};

class Win32FileSystem final : public Files {
 public:
  // The C runtime's fopen reports why an open failed through errno only, and leaves the thread's
  // last error unreliable. So the file is opened here, with fopen's access and sharing (read;
  // others may read and write), and the handle becomes a text-mode stream: a failed open leaves
  // the system's own error.
  TextFileHandle fopen_r(const char* name) override {
    OwnedFileHandle file(::CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) return nullptr;
    OwnedDescriptor descriptor(
        ::_open_osfhandle(reinterpret_cast<std::intptr_t>(file.get()), _O_RDONLY | _O_TEXT));
    if (descriptor.get() == -1) {
      ::SetLastError(ERROR_TOO_MANY_OPEN_FILES);
      return nullptr;
    }
    file.release();  // the descriptor owns the handle now
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
