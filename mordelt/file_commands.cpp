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

  // Whatever the calls above answered, what counts is whether the file is still there. Only the
  // system's "no such file" shows that it is gone: attributes that cannot be read for another
  // reason (access refused, a busy device) say nothing about it.
  if (files.GetFileAttributesA(path) != platform::kInvalidFileAttributes) return kFileCommandFailed;
  const std::uint32_t error = files.GetLastError();
  if (error == platform::kNoSuchFile || error == platform::kNoSuchPath ||
      error == platform::kInvalidName) {
    return 0;
  }
  return kFileCommandFailed;
}

}  // namespace mordelt
