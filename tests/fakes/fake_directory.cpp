#include "tests/fakes/fake_directory.h"

#include <cctype>
#include <cstring>

namespace fakes {
namespace {

constexpr std::uint32_t kErrorFileNotFound = 2;
constexpr std::uint32_t kErrorInvalidHandle = 6;

bool SameLetter(char a, char b) {
  return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
}

}  // namespace

bool FakeDirectory::Matches(const char* pattern, const char* name) {
  if (*pattern == '\0') return *name == '\0';
  if (*pattern == '*') {
    for (const char* rest = name;; ++rest) {
      if (Matches(pattern + 1, rest)) return true;
      if (*rest == '\0') return false;
    }
  }
  if (*name == '\0') return false;
  if (*pattern != '?' && !SameLetter(*pattern, *name)) return false;
  return Matches(pattern + 1, name + 1);
}

platform::TextFileHandle FakeDirectory::fopen_r(const char* name) {
  log_.Record("fopen", Quote(name));
  return nullptr;
}

char* FakeDirectory::fgets(char*, int, platform::TextFileHandle) {
  log_.Record("fgets", "");
  return nullptr;
}

int FakeDirectory::fclose(platform::TextFileHandle) {
  log_.Record("fclose", "");
  return -1;
}

bool FakeDirectory::CopyFileA(const char* existingName, const char* newName, bool) {
  log_.Record("CopyFileA", Quote(existingName) + ", " + Quote(newName));
  lastError = kErrorFileNotFound;
  return false;
}

std::uint32_t FakeDirectory::GetFileAttributesA(const char* path) {
  log_.Record("GetFileAttributesA", Quote(path));
  lastError = kErrorFileNotFound;
  return platform::kInvalidFileAttributes;
}

bool FakeDirectory::SetFileAttributesA(const char* path, std::uint32_t) {
  log_.Record("SetFileAttributesA", Quote(path));
  lastError = kErrorFileNotFound;
  return false;
}

bool FakeDirectory::DeleteFileA(const char* path) {
  log_.Record("DeleteFileA", Quote(path));
  lastError = kErrorFileNotFound;
  return false;
}

platform::FindHandle FakeDirectory::FindFirstFileA(const char* pattern, platform::FindData* data) {
  const auto fault = log_.Record("FindFirstFileA", Quote(pattern));
  if (fault) {
    lastError = FaultOr(*fault, kErrorFileNotFound);
    return platform::InvalidFindHandle();
  }
  for (const Entry& entry : entries) {
    if (!Matches(pattern, entry.name.c_str())) continue;
    data->fileAttributes = entry.attributes;
    std::memset(data->fileName, 0, sizeof data->fileName);
    entry.name.copy(data->fileName, sizeof data->fileName - 1);
    nextHandle_ += 4;
    const auto search = reinterpret_cast<platform::FindHandle>(nextHandle_);
    searches_.insert(search);
    return search;
  }
  lastError = kErrorFileNotFound;
  return platform::InvalidFindHandle();
}

bool FakeDirectory::FindClose(platform::FindHandle search) {
  const auto fault = log_.Record("FindClose", Hex(reinterpret_cast<std::uintptr_t>(search)));
  const bool wasOpen = searches_.erase(search) > 0;
  if (fault) {
    lastError = FaultOr(*fault, kErrorInvalidHandle);
    return false;
  }
  if (!wasOpen) {
    ++badCloses;
    lastError = kErrorInvalidHandle;
    return false;
  }
  return true;
}

}  // namespace fakes
