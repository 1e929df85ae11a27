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
  static_cast<void>(files.DeleteFileA(path));

  // Whatever the calls above answered, what counts is whether the file is still there.
  if (files.GetFileAttributesA(path) != platform::kInvalidFileAttributes) return kFileCommandFailed;
  return 0;
}

}  // namespace mordelt
