#pragma once

#include <optional>

#include "platform/files.h"

namespace setup {

// The file name of one directory entry: name and extension, no directory part.
struct PackageName {
  char text[platform::kMaxPath];
};

// Searches the current directory for "*.msi" and yields the name of the first entry the system
// reports (a matching directory counts as well), or nothing when none matches. No search is left
// open.
[[nodiscard]] std::optional<PackageName> FindFirstPackage(platform::Files& files);

}  // namespace setup
