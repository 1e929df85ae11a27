#include "mordelt/file_commands.h"

namespace mordelt {

int CopyFileReplacing(platform::Files& files, const char* source, const char* destination) {
  if (!files.CopyFileA(source, destination, false)) return kFileCommandFailed;
  return 0;
}

int DeleteFileForced(platform::Files& files, const char* path) {
  const std::uint32_t attributes = files.GetFileAttributesA(path);
  if (attributes != platform::kInvalidFileAttributes) {
    static_cast<void>(
        files.SetFileAttributesA(path, attributes & ~platform::kFileAttributeReadonly));
  }
  if (files.DeleteFileA(path)) return 0;

  // Refused: only the system's "no such file" (or folder, or a name no file can have) means there
  // was nothing to delete.
  const std::uint32_t error = files.GetLastError();
  if (error == platform::kNoSuchFile || error == platform::kNoSuchPath ||
      error == platform::kInvalidName) {
    return 0;
  }
  return kFileCommandFailed;
}

}  // namespace mordelt
