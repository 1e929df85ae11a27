#pragma once

#include <cstdint>

#include "platform/system_error.h"
#include "platform/unique_handle.h"

namespace platform {

// Opaque handles: a C runtime stream opened for reading (FILE*), and a directory search.
struct TextFileTag;
using TextFileHandle = TextFileTag*;
struct FindTag;
using FindHandle = FindTag*;

inline FindHandle InvalidFindHandle() { return reinterpret_cast<FindHandle>(kInvalidHandleValue); }

constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;  // INVALID_FILE_ATTRIBUTES
constexpr std::uint32_t kFileAttributeReadonly = 0x1u;         // FILE_ATTRIBUTE_READONLY
constexpr std::uint32_t kFileAttributeDirectory = 0x10u;       // FILE_ATTRIBUTE_DIRECTORY
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400u;   // FILE_ATTRIBUTE_REPARSE_POINT
constexpr std::uint32_t kMaxPath = 260;                        // MAX_PATH

// What a directory search reports of one entry (the part of WIN32_FIND_DATAW the programs use),
// its long name converted to the ANSI code page.
struct FindData {
  std::uint32_t fileAttributes = 0;
  char fileName[kMaxPath] = {};
  // Whether the long name has an exact form in the ANSI code page (no best fit, no default
  // character) that fits fileName; when false, fileName holds no usable name.
  bool nameExact = false;
};

// Files: the C runtime's text streams and the kernel's file calls (8-bit forms; the directory
// search in its wide form). The kernel calls leave their error for GetLastError.
class Files : public LastError {
 public:
  virtual ~Files() = default;

  // fopen(name, "r"): the file opened for reading, sharing reading and writing with others, as a
  // text stream (CR LF reads as LF). Null when it cannot be opened; GetLastError then gives the
  // system's error of the open (e.g. 2 no such file, 3 no such folder, 5 access denied or a
  // folder, 32 held open by another program without sharing).
  virtual TextFileHandle fopen_r(const char* name) = 0;
  // fgets(buffer, size, file): at most size - 1 bytes up to and including a line feed, then a
  // NUL. Null at the end of the file or on a read error: ferror tells the two apart.
  virtual char* fgets(char* buffer, int size, TextFileHandle file) = 0;
  // ferror(file): non-zero when a read of the stream has failed.
  virtual int ferror(TextFileHandle file) = 0;
  virtual int fclose(TextFileHandle file) = 0;

  virtual bool CopyFileA(const char* existingName, const char* newName, bool failIfExists) = 0;
  virtual std::uint32_t GetFileAttributesA(const char* path) = 0;
  virtual bool SetFileAttributesA(const char* path, std::uint32_t attributes) = 0;
  virtual bool DeleteFileA(const char* path) = 0;

  // FindFirstFileW(pattern, data) for an ASCII pattern: InvalidFindHandle() when nothing
  // matches. The entry's wide long name is converted to the ANSI code page (as
  // CodePage::WideToAnsi does), never by best fit.
  virtual FindHandle FindFirstFileW(const char* pattern, FindData* data) = 0;
  // FindNextFileW(search, data): the search's next entry, converted the same way; false when
  // there is none or the search failed (data is then undefined).
  virtual bool FindNextFileW(FindHandle search, FindData* data) = 0;
  virtual bool FindClose(FindHandle search) = 0;
};

// A text stream open for reading, closed at the end of its scope.
using UniqueTextFile = UniqueHandle<HandleTraits<Files, TextFileHandle, &Files::fclose>>;

// A directory search, ended at the end of its scope.
using UniqueFind =
    UniqueHandle<HandleTraits<Files, FindHandle, &Files::FindClose, kInvalidHandleValue>>;

}  // namespace platform
