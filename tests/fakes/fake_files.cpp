#include "tests/fakes/fake_files.h"

#include <algorithm>
#include <cstring>

namespace fakes {
namespace {

constexpr std::uint32_t kErrorNoMoreFiles = 18;       // ERROR_NO_MORE_FILES
constexpr std::uint32_t kErrorFileExists = 80;        // ERROR_FILE_EXISTS
constexpr std::uint32_t kErrorSharingViolation = 32;  // ERROR_SHARING_VIOLATION

constexpr int kEof = -1;

char FoldChar(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(const std::string& a, const std::string& b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return FoldChar(x) == FoldChar(y);
         });
}

// Text mode as the Windows C runtime reads: CR LF becomes LF, Ctrl-Z ends the file.
std::string TextModeView(const std::string& content) {
  std::string text;
  for (std::size_t i = 0; i < content.size(); ++i) {
    if (content[i] == '\x1a') break;
    if (content[i] == '\r' && i + 1 < content.size() && content[i + 1] == '\n') continue;
    text += content[i];
  }
  return text;
}

bool WildcardMatch(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    for (const char* rest = name;; ++rest) {
      if (WildcardMatch(pattern + 1, rest)) return true;
      if (*rest == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*pattern != '?' && FoldChar(*pattern) != FoldChar(*name)) return false;
  return WildcardMatch(pattern + 1, name + 1);
}

std::size_t DirectoryLength(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/:");
  return separator == std::string::npos ? 0 : separator + 1;
}

std::string Flag(bool value) { return value ? "1" : "0"; }

std::string FileName(platform::FileHandle file) {
  return "file#" + std::to_string(reinterpret_cast<std::uintptr_t>(file));
}

}  // namespace

FakeFiles::Entry* FakeFiles::Find(const std::string& name) {
  for (Entry& entry : entries_) {
    if (SameName(entry.name, name)) return &entry;
  }
  return nullptr;
}

const FakeFiles::Entry* FakeFiles::Find(const std::string& name) const {
  return const_cast<FakeFiles*>(this)->Find(name);
}

FakeFiles::Entry* FakeFiles::Opened(platform::FileHandle file, std::uint32_t needed,
                                    OpenFile** open) {
  const auto handle = handles_.find(reinterpret_cast<std::uintptr_t>(file));
  if (handle == handles_.end()) {
    Fail(platform::kErrorInvalidHandle);
    return nullptr;
  }
  if ((handle->second.access & needed) != needed) {
    Fail(platform::kErrorAccessDenied);
    return nullptr;
  }
  if (open != nullptr) *open = &handle->second;
  return Find(handle->second.name);
}

platform::FileHandle FakeFiles::CreateFileA(const char* name, std::uint32_t access,
                                            std::uint32_t share, std::uint32_t flagsAndAttributes) {
  if (auto fault =
          log_.Record("CreateFileA", Quote(name) + ", access " + Hex(access) + ", share " +
                                         Hex(share) + ", flags " + Hex(flagsAndAttributes))) {
    Fail(FaultOr(*fault, platform::kErrorAccessDenied));
    return platform::InvalidFileHandle();
  }
  const Entry* entry = Find(name);
  if (entry == nullptr) {
    Fail(platform::kErrorFileNotFound);
    return platform::InvalidFileHandle();
  }
  if ((entry->attributes & kFileAttributeDirectory) != 0 &&
      (flagsAndAttributes & platform::kFileFlagBackupSemantics) == 0) {
    Fail(platform::kErrorAccessDenied);
    return platform::InvalidFileHandle();
  }
  constexpr std::uint32_t kSharedByALock =
      platform::kGenericRead | platform::kFileReadAttributes | platform::kFileWriteAttributes;
  if (entry->locked && (access & ~kSharedByALock) != 0) {
    Fail(kErrorSharingViolation);
    return platform::InvalidFileHandle();
  }
  const std::uintptr_t handle = nextHandle_++;
  handles_[handle] = OpenFile{entry->name, access};
  return reinterpret_cast<platform::FileHandle>(handle);
}

std::uint32_t FakeFiles::GetFileType(platform::FileHandle file) {
  if (auto fault = log_.Record("GetFileType", FileName(file))) {
    Fail(FaultOr(*fault, platform::kErrorAccessDenied));
    return 0;
  }
  const Entry* entry = Opened(file, 0);
  return entry == nullptr ? 0 : entry->fileType;
}

bool FakeFiles::GetFileInformationByHandle(platform::FileHandle file,
                                           platform::FileInformation* information) {
  if (auto fault = log_.Record("GetFileInformationByHandle", FileName(file))) {
    return Fail(FaultOr(*fault, platform::kErrorAccessDenied));
  }
  const Entry* entry = Opened(file, platform::kFileReadAttributes);
  if (entry == nullptr) return false;
  information->attributes = entry->attributes;
  information->numberOfLinks = entry->links;
  return true;
}

bool FakeFiles::SetFileBasicInfo(platform::FileHandle file, std::uint32_t attributes) {
  if (auto fault = log_.Record("SetFileBasicInfo", FileName(file) + ", " + Hex(attributes))) {
    return Fail(FaultOr(*fault, platform::kErrorAccessDenied));
  }
  Entry* entry = Opened(file, platform::kFileWriteAttributes);
  if (entry == nullptr) return false;
  if (attributes != 0) entry->attributes = attributes;
  return true;
}

bool FakeFiles::SetFileDispositionInfo(platform::FileHandle file) {
  if (auto fault = log_.Record("SetFileDispositionInfo", FileName(file))) {
    return Fail(FaultOr(*fault, platform::kErrorAccessDenied));
  }
  OpenFile* open = nullptr;
  const Entry* entry = Opened(file, platform::kDeleteAccess, &open);
  if (entry == nullptr) return false;
  if ((entry->attributes & platform::kFileAttributeReadonly) != 0) {
    return Fail(platform::kErrorAccessDenied);
  }
  open->deleting = true;
  return true;
}

bool FakeFiles::CloseHandle(platform::FileHandle file) {
  const auto fault = log_.Record("CloseHandle", FileName(file));
  const auto handle = handles_.find(reinterpret_cast<std::uintptr_t>(file));
  if (handle == handles_.end()) {
    ++badCloses_;
    return false;
  }
  const OpenFile closed = handle->second;
  handles_.erase(handle);
  const Entry* entry = Find(closed.name);
  if (closed.deleting && entry != nullptr && !entry->deleteShared) RemoveFile(closed.name);
  return !fault;
}

platform::TextFileHandle FakeFiles::fdopen_r(platform::FileHandle file) {
  const auto fault = log_.Record("fdopen", FileName(file));
  const Entry* entry = Opened(file, 0);
  const std::string content = entry == nullptr ? std::string() : entry->content;
  if (handles_.erase(reinterpret_cast<std::uintptr_t>(file)) == 0) ++badCloses_;  // taken over
  if (fault) {
    Fail(FaultOr(*fault, platform::kErrorNotEnoughMemory));
    return nullptr;
  }
  if (entry == nullptr) return nullptr;
  const std::uintptr_t handle = nextHandle_++;
  streams_[handle] = Stream{TextModeView(content), 0, false};
  return reinterpret_cast<platform::TextFileHandle>(handle);
}

char* FakeFiles::fgets(char* buffer, int size, platform::TextFileHandle file) {
  const std::uintptr_t handle = reinterpret_cast<std::uintptr_t>(file);
  const auto fault =
      log_.Record("fgets", "stream#" + std::to_string(handle) + ", size " + std::to_string(size));
  auto stream = streams_.find(handle);
  if (stream == streams_.end() || size <= 0) return nullptr;
  if (fault) {
    stream->second.readError = true;
    std::memset(buffer, 0xEE, static_cast<std::size_t>(size) - 1);
    buffer[size - 1] = '\0';
    return nullptr;
  }
  Stream& s = stream->second;
  if (size > 1 && s.position >= s.text.size()) return nullptr;
  int count = 0;
  while (count < size - 1 && s.position < s.text.size()) {
    const char c = s.text[s.position++];
    buffer[count++] = c;
    if (c == '\n') break;
  }
  buffer[count] = '\0';
  return buffer;
}

int FakeFiles::ferror(platform::TextFileHandle file) {
  const auto stream = streams_.find(reinterpret_cast<std::uintptr_t>(file));
  return stream != streams_.end() && stream->second.readError ? 1 : 0;
}

int FakeFiles::fclose(platform::TextFileHandle file) {
  const std::uintptr_t handle = reinterpret_cast<std::uintptr_t>(file);
  const auto fault = log_.Record("fclose", "stream#" + std::to_string(handle));
  const std::size_t closed = streams_.erase(handle);
  if (closed == 0) ++badCloses_;
  if (fault || closed == 0) return kEof;
  return 0;
}

bool FakeFiles::CopyFileA(const char* existingName, const char* newName, bool failIfExists) {
  if (auto fault = log_.Record("CopyFileA", Quote(existingName) + ", " + Quote(newName) +
                                                ", failIfExists " + Flag(failIfExists))) {
    return Fail(FaultOr(*fault, platform::kErrorAccessDenied));
  }
  const Entry* source = Find(existingName);
  if (source == nullptr) return Fail(platform::kErrorFileNotFound);
  if ((source->attributes & kFileAttributeDirectory) != 0)
    return Fail(platform::kErrorAccessDenied);
  const Entry copy = *source;
  Entry* destination = Find(newName);
  if (destination != nullptr) {
    if (failIfExists) return Fail(kErrorFileExists);
    if ((destination->attributes & (platform::kFileAttributeReadonly | kFileAttributeDirectory)) !=
        0) {
      return Fail(platform::kErrorAccessDenied);
    }
    destination->content = copy.content;
    destination->attributes = copy.attributes;
    return true;
  }
  entries_.push_back(Entry{newName, copy.content, copy.attributes, false, false, "", true});
  return true;
}

std::uint32_t FakeFiles::GetLastError() {
  if (auto fault = log_.Record("GetLastError", "")) return FaultOr(*fault, lastError_);
  return lastError_;
}

std::size_t FakeFiles::ReportMatch(const std::string& pattern, std::size_t from,
                                   platform::FindData* data) {
  const std::size_t directoryLength = DirectoryLength(pattern);
  const std::string directory = pattern.substr(0, directoryLength);
  const std::string namePattern = pattern.substr(directoryLength);
  for (std::size_t i = from; i < entries_.size(); ++i) {
    const Entry& entry = entries_[i];
    const std::size_t entryDirectoryLength = DirectoryLength(entry.name);
    const std::string fileName = entry.name.substr(entryDirectoryLength);
    if (!SameName(entry.name.substr(0, entryDirectoryLength), directory) ||
        !(WildcardMatch(namePattern.c_str(), fileName.c_str()) ||
          (!entry.shortName.empty() &&
           WildcardMatch(namePattern.c_str(), entry.shortName.c_str())))) {
      continue;
    }
    *data = platform::FindData{};
    data->fileAttributes = entry.attributes;
    data->reparseTag = entry.reparseTag;
    std::strncpy(data->fileName, fileName.c_str(), sizeof data->fileName - 1);
    data->nameExact = entry.nameConvertible;
    if (!entry.nameConvertible) {
      for (char* c = data->fileName; *c != '\0'; ++c) {
        if (static_cast<unsigned char>(*c) >= 0x80) *c = '?';
      }
    }
    return i;
  }
  return entries_.size();
}

platform::FindHandle FakeFiles::FindFirstFileW(const char* pattern, platform::FindData* data) {
  if (auto fault = log_.Record("FindFirstFileW", Quote(pattern))) {
    Fail(FaultOr(*fault, platform::kErrorAccessDenied));
    return platform::InvalidFindHandle();
  }
  const std::size_t found = ReportMatch(pattern, 0, data);
  if (found == entries_.size()) {
    Fail(platform::kErrorFileNotFound);
    return platform::InvalidFindHandle();
  }
  const std::uintptr_t handle = nextHandle_++;
  searches_[handle] = Search{pattern, found + 1};
  return reinterpret_cast<platform::FindHandle>(handle);
}

bool FakeFiles::FindNextFileW(platform::FindHandle search, platform::FindData* data) {
  const std::uintptr_t handle = reinterpret_cast<std::uintptr_t>(search);
  if (auto fault = log_.Record("FindNextFileW", "find#" + std::to_string(handle))) {
    return Fail(FaultOr(*fault, platform::kErrorAccessDenied));
  }
  auto open = searches_.find(handle);
  if (open == searches_.end()) return Fail(platform::kErrorInvalidHandle);
  const std::size_t found = ReportMatch(open->second.pattern, open->second.next, data);
  if (found == entries_.size()) return Fail(kErrorNoMoreFiles);
  open->second.next = found + 1;
  return true;
}

bool FakeFiles::FindClose(platform::FindHandle search) {
  const std::uintptr_t handle = reinterpret_cast<std::uintptr_t>(search);
  const auto fault = log_.Record("FindClose", "find#" + std::to_string(handle));
  const std::size_t closed = searches_.erase(handle);
  if (closed == 0) ++badCloses_;
  return !fault && closed == 1;
}

void FakeFiles::AddFile(const std::string& name, const std::string& content,
                        std::uint32_t attributes) {
  Entry* entry = Find(name);
  if (entry != nullptr) {
    entry->content = content;
    entry->attributes = attributes;
    return;
  }
  entries_.push_back(Entry{name, content, attributes, false, false, "", true});
}

void FakeFiles::RemoveFile(const std::string& name) {
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(),
                                [&](const Entry& entry) { return SameName(entry.name, name); }),
                 entries_.end());
}

void FakeFiles::SetShortName(const std::string& name, const std::string& shortName) {
  Entry* entry = Find(name);
  if (entry != nullptr) entry->shortName = shortName;
}

void FakeFiles::SetNumberOfLinks(const std::string& name, std::uint32_t links) {
  Entry* entry = Find(name);
  if (entry != nullptr) entry->links = links;
}

void FakeFiles::SetReparseTag(const std::string& name, std::uint32_t tag) {
  Entry* entry = Find(name);
  if (entry == nullptr) return;
  entry->attributes |= platform::kFileAttributeReparsePoint;
  entry->reparseTag = tag;
}

void FakeFiles::SetNameNotConvertible(const std::string& name) {
  Entry* entry = Find(name);
  if (entry != nullptr) entry->nameConvertible = false;
}

void FakeFiles::Lock(const std::string& name) {
  Entry* entry = Find(name);
  if (entry != nullptr) entry->locked = true;
}

void FakeFiles::HoldOpenSharingDelete(const std::string& name) {
  Entry* entry = Find(name);
  if (entry != nullptr) entry->deleteShared = true;
}

bool FakeFiles::Exists(const std::string& name) const { return Find(name) != nullptr; }

std::string FakeFiles::Content(const std::string& name) const {
  const Entry* entry = Find(name);
  return entry == nullptr ? std::string() : entry->content;
}

std::uint32_t FakeFiles::Attributes(const std::string& name) const {
  const Entry* entry = Find(name);
  return entry == nullptr ? platform::kInvalidFileAttributes : entry->attributes;
}

std::uint32_t FakeFiles::ReparseTag(const std::string& name) const {
  const Entry* entry = Find(name);
  return entry == nullptr ? 0 : entry->reparseTag;
}

std::vector<std::string> FakeFiles::Names() const {
  std::vector<std::string> names;
  for (const Entry& entry : entries_) names.push_back(entry.name);
  return names;
}

}  // namespace fakes
