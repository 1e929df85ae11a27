#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/fakes/call_log.h"

namespace fakes {

constexpr std::uint32_t kFileAttributeDirectory = platform::kFileAttributeDirectory;
constexpr std::uint32_t kFileAttributeArchive = 0x20;  // FILE_ATTRIBUTE_ARCHIVE
constexpr std::uint32_t kFileAttributeNormal = 0x80;   // FILE_ATTRIBUTE_NORMAL

// An in-memory file system: an ordered set of entries (files, directories added with
// AddDirectoryEntry, pipes and devices added with AddDevice), each with a name, its bytes and its
// attributes. Names are whole paths as the program passes them ("C:\\Setup\\values.txt",
// "a.msi"), compared without regard to the case of ASCII letters; no other normalisation is made.
//
// Kernel file handles (CreateFileA, opening OPEN_EXISTING): a missing name fails with no such
// file 2; a directory entry, unless asked with kFileFlagBackupSemantics, with access denied 5; a
// file in use (Lock: held open by another program that shares reading only), when DELETE or any
// access but reading and attributes is asked, with sharing violation 32. A read-only file opens.
// GetFileType gives the entry's type (kFileTypeDisk unless made with AddDevice).
// GetFileInformationByHandle (needs FILE_READ_ATTRIBUTES) gives the attributes and the number of
// names (1 unless SetNumberOfLinks). SetFileBasicInfo (needs FILE_WRITE_ATTRIBUTES) stores the
// attributes, and leaves them unchanged when given 0. SetFileDispositionInfo (needs DELETE)
// refuses a read-only file with access denied 5 and otherwise marks the file: CloseHandle then
// removes it, unless another program holds it open with delete sharing (HoldOpenSharingDelete:
// the file stays, until that program would close it). Missing access: access denied 5.
//
// Text streams (fdopen_r / fgets / ferror / fclose) behave as the Windows C runtime in text mode:
// a CR LF pair reads as LF (a lone CR stays), a Ctrl-Z byte (0x1A) ends the file, NUL bytes are
// read as any other byte. fdopen_r takes the kernel handle over (closing it when it fails) and
// reads the entry's content as it is then (for a pipe or device: what it offers). fgets(buffer,
// size, stream): size 0 or below gives null; otherwise at most size - 1 bytes, stopping after a
// line feed, then a NUL; null when nothing was read at the end of the file (the buffer is
// untouched then). ferror (not recorded in the log) is non-zero once a planned fault of fgets
// has failed a read of that stream: failing the n-th fgets (0-based) is a read error after n
// short lines.
//
// CopyFileA copies bytes and attributes (false: source missing or a directory, destination exists
// and failIfExists, or destination read-only or a directory). FindFirstFileW(pattern) reports the
// first entry, in the order the entries were added, whose directory equals the pattern's (the
// text up to its last "\\", "/" or ":") and whose file name matches the pattern's last part ("*"
// any run, "?" any one character, case ignored); it reports the file name without the directory
// and the entry's reparse tag (SetReparseTag), converted exactly (nameExact) unless the entry was
// marked with SetNameNotConvertible (then nameExact false and "?" for each byte of 0x80 and
// above, as the default character; ASCII stays, as a look-alike would). No matching entry:
// InvalidFindHandle(). An entry given a short name (SetShortName) also matches through it, as the
// system matches "*.msi" against "A~1.MSI", the short name of "a.msix". FindNextFileW reports the
// next such entry after the one reported last (false with error 18, no more files, after the
// last).
//
// A failing kernel call leaves its error for GetLastError ("GetLastError" in the log): as above,
// or the planned error of a fault (5 by default). A planned fault of GetLastError itself answers
// the planned error instead.
//
// Every call is recorded in the CallLog and fails when the log says so, with the failure of its
// real counterpart, opening and changing nothing: CreateFileA InvalidFileHandle() (with the
// planned error for GetLastError, 5 by default: e.g. 32 for a file held open without sharing, 3
// for a missing folder), GetFileType 0, fdopen_r null (the handle closed), fgets null (a read
// error at that call: the bytes before it stay read, the buffer's content is indeterminate, here
// filled with 0xEE and a NUL at its end), fclose EOF and CloseHandle false (closed all the same;
// a file marked for deletion goes), the other kernel calls false / InvalidFindHandle(),
// FindClose false (the search is ended all the same).
//
// Log formats: CreateFileA "name", access 0x80000000, share 0x3, flags 0x110080 / GetFileType
// file#1 / GetFileInformationByHandle file#1 / SetFileBasicInfo file#1, 0x20 /
// SetFileDispositionInfo file#1 / CloseHandle file#1 / fdopen file#1 / fgets stream#2, size 1024
// / fclose stream#2 / CopyFileA "from", "to", failIfExists 1 / FindFirstFileW "pattern" /
// FindNextFileW find#1 / FindClose find#1.
class FakeFiles final : public platform::Files {
 public:
  explicit FakeFiles(CallLog& log) : log_(log) {}

  platform::FileHandle CreateFileA(const char* name, std::uint32_t access, std::uint32_t share,
                                   std::uint32_t flagsAndAttributes) override;
  std::uint32_t GetFileType(platform::FileHandle file) override;
  bool GetFileInformationByHandle(platform::FileHandle file,
                                  platform::FileInformation* information) override;
  bool SetFileBasicInfo(platform::FileHandle file, std::uint32_t attributes) override;
  bool SetFileDispositionInfo(platform::FileHandle file) override;
  bool CloseHandle(platform::FileHandle file) override;
  platform::TextFileHandle fdopen_r(platform::FileHandle file) override;
  char* fgets(char* buffer, int size, platform::TextFileHandle file) override;
  int ferror(platform::TextFileHandle file) override;
  int fclose(platform::TextFileHandle file) override;
  bool CopyFileA(const char* existingName, const char* newName, bool failIfExists) override;
  std::uint32_t GetLastError() override;
  platform::FindHandle FindFirstFileW(const char* pattern, platform::FindData* data) override;
  bool FindNextFileW(platform::FindHandle search, platform::FindData* data) override;
  bool FindClose(platform::FindHandle search) override;

  // Test set-up and inspection; none of these is recorded in the log.
  // Adds the file, or replaces the content and attributes of an existing one (keeping its place).
  void AddFile(const std::string& name, const std::string& content,
               std::uint32_t attributes = kFileAttributeArchive);
  // Adds an entry for directory searches only, e.g. a directory (kFileAttributeDirectory).
  void AddDirectoryEntry(const std::string& name,
                         std::uint32_t attributes = kFileAttributeArchive) {
    AddFile(name, std::string(), attributes);
  }
  // Adds a pipe or device (GetFileType gives `fileType`) that offers `content` to a reader.
  void AddDevice(const std::string& name, std::uint32_t fileType, const std::string& content) {
    AddFile(name, content);
    Find(name)->fileType = fileType;
  }
  void RemoveFile(const std::string& name);
  // Gives an existing file more names (hard links): deleting this one leaves the file.
  void SetNumberOfLinks(const std::string& name, std::uint32_t links);
  // Makes an existing entry a reparse point with this tag (with the attribute).
  void SetReparseTag(const std::string& name, std::uint32_t tag);
  // Gives an existing entry a short (8.3) name that directory searches match as well.
  void SetShortName(const std::string& name, const std::string& shortName);
  // Makes an existing entry's long name one that the ANSI code page cannot hold exactly.
  void SetNameNotConvertible(const std::string& name);
  // Marks an existing file as held open by another program that shares reading only: an open
  // that asks for more is refused from now on.
  void Lock(const std::string& name);
  // Marks an existing file as held open by another program that shares deletion: a deletion is
  // accepted from now on, and the file stays (until that program would close it: RemoveFile).
  void HoldOpenSharingDelete(const std::string& name);
  bool Exists(const std::string& name) const;
  std::string Content(const std::string& name) const;       // "" when missing
  std::uint32_t Attributes(const std::string& name) const;  // kInvalidFileAttributes when missing
  std::uint32_t ReparseTag(const std::string& name) const;  // 0 when missing
  std::vector<std::string> Names() const;                   // in order

  int OpenStreams() const { return static_cast<int>(streams_.size()); }
  int OpenSearches() const { return static_cast<int>(searches_.size()); }
  int OpenHandles() const {
    return OpenStreams() + OpenSearches() + static_cast<int>(handles_.size());
  }
  // fclose / FindClose / CloseHandle calls given a handle that was not open (never opened, or
  // closed before).
  int BadCloses() const { return badCloses_; }

 private:
  struct Entry {
    std::string name;
    std::string content;
    std::uint32_t attributes;
    bool locked = false;
    bool deleteShared = false;
    std::string shortName;  // "" when the entry has none
    bool nameConvertible = true;
    std::uint32_t fileType = platform::kFileTypeDisk;
    std::uint32_t links = 1;
    std::uint32_t reparseTag = 0;
  };
  struct OpenFile {
    std::string name;
    std::uint32_t access;
    bool deleting = false;  // marked for deletion when closed
  };
  struct Search {
    std::string pattern;
    std::size_t next = 0;  // the entry after the one reported last
  };
  struct Stream {
    std::string text;  // the content as text mode reads it
    std::size_t position = 0;
    bool readError = false;  // a read of the stream failed
  };

  Entry* Find(const std::string& name);
  // The entry of an open kernel handle and what it was opened for; null when it is not open or
  // its entry is gone. Fails the call with access denied when `needed` was not asked for.
  Entry* Opened(platform::FileHandle file, std::uint32_t needed, OpenFile** open = nullptr);
  const Entry* Find(const std::string& name) const;
  // Reports the first entry from `from` on that `pattern` matches; its index, or entries_.size().
  std::size_t ReportMatch(const std::string& pattern, std::size_t from, platform::FindData* data);

  // Fails a kernel call: keeps its error for GetLastError.
  bool Fail(std::uint32_t error) {
    lastError_ = error;
    return false;
  }

  CallLog& log_;
  std::uint32_t lastError_ = 0;
  std::vector<Entry> entries_;
  std::map<std::uintptr_t, OpenFile> handles_;
  std::map<std::uintptr_t, Stream> streams_;
  std::map<std::uintptr_t, Search> searches_;
  std::uintptr_t nextHandle_ = 1;
  int badCloses_ = 0;
};

}  // namespace fakes
