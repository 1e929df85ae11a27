#pragma once

#include <cstdint>

#include "platform/system_error.h"
#include "platform/unique_handle.h"

namespace platform {

// Opaque handles: a kernel file handle (HANDLE), a C runtime stream opened for reading (FILE*),
// and a directory search.
struct FileTag;
using FileHandle = FileTag*;
struct TextFileTag;
using TextFileHandle = TextFileTag*;
struct FindTag;
using FindHandle = FindTag*;

inline FileHandle InvalidFileHandle() { return reinterpret_cast<FileHandle>(kInvalidHandleValue); }
inline FindHandle InvalidFindHandle() { return reinterpret_cast<FindHandle>(kInvalidHandleValue); }

constexpr std::uint32_t kInvalidFileAttributes = 0xFFFFFFFFu;  // INVALID_FILE_ATTRIBUTES
constexpr std::uint32_t kFileAttributeReadonly = 0x1u;         // FILE_ATTRIBUTE_READONLY
constexpr std::uint32_t kFileAttributeDirectory = 0x10u;       // FILE_ATTRIBUTE_DIRECTORY
constexpr std::uint32_t kFileAttributeNormal = 0x80u;          // FILE_ATTRIBUTE_NORMAL
constexpr std::uint32_t kFileAttributeReparsePoint = 0x400u;   // FILE_ATTRIBUTE_REPARSE_POINT
constexpr std::uint32_t kMaxPath = 260;                        // MAX_PATH

// Access rights, sharing and flags of CreateFileA.
constexpr std::uint32_t kGenericRead = 0x80000000u;               // GENERIC_READ
constexpr std::uint32_t kDeleteAccess = 0x10000u;                 // DELETE
constexpr std::uint32_t kFileReadAttributes = 0x80u;              // FILE_READ_ATTRIBUTES
constexpr std::uint32_t kFileWriteAttributes = 0x100u;            // FILE_WRITE_ATTRIBUTES
constexpr std::uint32_t kFileShareRead = 0x1u;                    // FILE_SHARE_READ
constexpr std::uint32_t kFileShareWrite = 0x2u;                   // FILE_SHARE_WRITE
constexpr std::uint32_t kFileShareDelete = 0x4u;                  // FILE_SHARE_DELETE
constexpr std::uint32_t kFileFlagBackupSemantics = 0x02000000u;   // FILE_FLAG_BACKUP_SEMANTICS
constexpr std::uint32_t kFileFlagOpenReparsePoint = 0x00200000u;  // FILE_FLAG_OPEN_REPARSE_POINT
// With both, a pipe's server may learn who opened it, but not act as that user.
constexpr std::uint32_t kSecuritySqosPresent = 0x00100000u;     // SECURITY_SQOS_PRESENT
constexpr std::uint32_t kSecurityIdentification = 0x00010000u;  // SECURITY_IDENTIFICATION

// What GetFileType reports of a handle: a file on a disk, or something else (a character device
// such as NUL, CON or a serial port: 2; a pipe: 3; unknown or failed: 0).
constexpr std::uint32_t kFileTypeDisk = 1;  // FILE_TYPE_DISK

// Whether a reparse tag is that of a link to another name (symbolic link, junction, mount
// point), as opposed to a file stored in a special way (deduplicated, compressed by the
// system): IsReparseTagNameSurrogate.
inline bool IsReparseTagNameSurrogate(std::uint32_t tag) { return (tag & 0x20000000u) != 0; }

// What GetFileInformationByHandle reports of an open file, as far as the programs use it.
struct FileInformation {
  std::uint32_t attributes = 0;
  std::uint32_t numberOfLinks = 0;  // the file's names (hard links)
};

// What a directory search reports of one entry (the part of WIN32_FIND_DATAW the programs use),
// its long name converted to the ANSI code page.
struct FindData {
  std::uint32_t fileAttributes = 0;
  // The reparse tag (dwReserved0) of an entry whose attributes hold FILE_ATTRIBUTE_REPARSE_POINT;
  // 0 for every other entry.
  std::uint32_t reparseTag = 0;
  char fileName[kMaxPath] = {};
  // Whether the long name has an exact form in the ANSI code page (no best fit, no default
  // character) that fits fileName; when false, fileName holds no usable name.
  bool nameExact = false;
};

// Files: the kernel's file calls (8-bit forms; the directory search in its wide form) and the C
// runtime's text streams. The kernel calls leave their error for GetLastError.
class Files : public LastError {
 public:
  virtual ~Files() = default;

  // CreateFileA(name, access, share, no security attributes, OPEN_EXISTING, flagsAndAttributes,
  // no template): InvalidFileHandle() when it fails, with the system's error (e.g. 2 no such
  // file, 3 no such folder, 5 access denied or a folder opened without backup semantics, 32 held
  // open by another program that does not share what is asked, 123 a name no file can have).
  virtual FileHandle CreateFileA(const char* name, std::uint32_t access, std::uint32_t share,
                                 std::uint32_t flagsAndAttributes) = 0;
  // GetFileType(file): kFileTypeDisk, or another type (0 also when the call fails).
  virtual std::uint32_t GetFileType(FileHandle file) = 0;
  // GetFileInformationByHandle(file): needs FILE_READ_ATTRIBUTES.
  virtual bool GetFileInformationByHandle(FileHandle file, FileInformation* information) = 0;
  // SetFileInformationByHandle(file, FileBasicInfo) with the times left as they are and these
  // attributes; needs FILE_WRITE_ATTRIBUTES. Attributes 0 change nothing: a file without any
  // is given kFileAttributeNormal.
  virtual bool SetFileBasicInfo(FileHandle file, std::uint32_t attributes) = 0;
  // SetFileInformationByHandle(file, FileDispositionInfo) with DeleteFile TRUE; needs DELETE. The
  // file is deleted when its last handle is closed. Refused for a read-only file (5).
  virtual bool SetFileDispositionInfo(FileHandle file) = 0;
  virtual bool CloseHandle(FileHandle file) = 0;

  // _open_osfhandle(file, _O_RDONLY | _O_TEXT) and _fdopen(descriptor, "r"): the file opened
  // for reading as a text stream (CR LF reads as LF). Takes the handle over in every case: the
  // stream owns it, or it is closed when no stream can be made (null then).
  virtual TextFileHandle fdopen_r(FileHandle file) = 0;
  // fgets(buffer, size, file): at most size - 1 bytes up to and including a line feed, then a
  // NUL. Null at the end of the file or on a read error: ferror tells the two apart.
  virtual char* fgets(char* buffer, int size, TextFileHandle file) = 0;
  // ferror(file): non-zero when a read of the stream has failed.
  virtual int ferror(TextFileHandle file) = 0;
  virtual int fclose(TextFileHandle file) = 0;

  virtual bool CopyFileA(const char* existingName, const char* newName, bool failIfExists) = 0;

  // FindFirstFileW(pattern, data) for an ASCII pattern: InvalidFindHandle() when nothing
  // matches. The entry's wide long name is converted to the ANSI code page (as
  // CodePage::WideToAnsi does), never by best fit.
  virtual FindHandle FindFirstFileW(const char* pattern, FindData* data) = 0;
  // FindNextFileW(search, data): the search's next entry, converted the same way; false when
  // there is none or the search failed (data is then undefined).
  virtual bool FindNextFileW(FindHandle search, FindData* data) = 0;
  virtual bool FindClose(FindHandle search) = 0;
};

// A kernel file handle, closed at the end of its scope.
using UniqueFile =
    UniqueHandle<HandleTraits<Files, FileHandle, &Files::CloseHandle, kInvalidHandleValue>>;

// A text stream open for reading, closed at the end of its scope.
using UniqueTextFile = UniqueHandle<HandleTraits<Files, TextFileHandle, &Files::fclose>>;

// A directory search, ended at the end of its scope.
using UniqueFind =
    UniqueHandle<HandleTraits<Files, FindHandle, &Files::FindClose, kInvalidHandleValue>>;

}  // namespace platform
