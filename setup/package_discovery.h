#pragma once

#include <optional>

#include "platform/files.h"

namespace setup {

// The file name of one directory entry: name and extension, no directory part.
struct PackageName {
  char text[platform::kMaxPath];
};

// Searches the current directory for "*.msi" and yields the long name of the first entry, in the
// order the system lists them, that is a package file: not a folder or a link (a reparse point
// whose tag is a name surrogate: symbolic link, junction, mount point; deduplicated and
// system-compressed files are files), a long name that ends in ".msi" in any letter case (the
// search also matches short 8.3 names, so that "App.msix" is listed through "APP~1.MSI"), that
// holds no double quote, so that it can be passed in double quotes, and that the ANSI code page
// holds exactly (a name with a character outside it would reach msiexec as a look-alike or with
// "?"). Nothing when there is none, or when the search fails before one is listed (a failing
// FindNextFileW ends the list). No search is left open.
[[nodiscard]] std::optional<PackageName> FindFirstPackage(platform::Files& files);

}  // namespace setup
