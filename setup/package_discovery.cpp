#include "setup/package_discovery.h"

#include <cstring>

#include "common/multibyte.h"

namespace setup {
namespace {

// Whether the entry is a file that setup may hand to msiexec in double quotes. The name is
// looked at byte by byte: neither "." nor a double quote is ever the trail byte of a double-byte
// character in the ANSI code pages, so ".msi" at the end is the name's own extension.
bool IsPackageFile(const platform::FindData& entry) {
  if ((entry.fileAttributes & platform::kFileAttributeDirectory) != 0) return false;
  // A link (symbolic link, junction, mount point) leads to a file elsewhere. Other reparse points
  // are files in their place, stored in a special way (deduplicated, compressed by the system).
  if ((entry.fileAttributes & platform::kFileAttributeReparsePoint) != 0 &&
      platform::IsReparseTagNameSurrogate(entry.reparseTag)) {
    return false;
  }
  // A name that the ANSI code page cannot hold would reach msiexec as another name.
  if (!entry.nameExact) return false;
  const char* name = entry.fileName;
  const void* end = std::memchr(name, '\0', sizeof entry.fileName);
  if (end == nullptr) return false;
  const std::size_t length = static_cast<std::size_t>(static_cast<const char*>(end) - name);
  if (length < 4) return false;
  if (std::memchr(name, '"', length) != nullptr) return false;
  const char* extension = name + length - 4;
  return extension[0] == '.' && common::ToLowerAscii(extension[1]) == 'm' &&
         common::ToLowerAscii(extension[2]) == 's' && common::ToLowerAscii(extension[3]) == 'i';
}

}  // namespace

std::optional<PackageName> FindFirstPackage(platform::Files& files) {
  platform::FindData found;
  platform::UniqueFind search(files, files.FindFirstFileW("*.msi", &found));
  if (!search) return std::nullopt;

  do {
    if (IsPackageFile(found)) {
      PackageName name;
      std::memcpy(name.text, found.fileName, sizeof name.text);
      return name;
    }
  } while (files.FindNextFileW(search.get(), &found));
  return std::nullopt;
}

}  // namespace setup
