#include "setup/package_discovery.h"

#include <cstring>

namespace setup {

std::optional<PackageName> FindFirstPackage(platform::Files& files) {
  platform::FindData found;
  platform::UniqueFind search(files, files.FindFirstFileA("*.msi", &found));
  if (!search) return std::nullopt;

  PackageName name;
  std::memcpy(name.text, found.fileName, sizeof name.text);
  name.text[sizeof name.text - 1] = '\0';
  return name;
}

}  // namespace setup
