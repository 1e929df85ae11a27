#include "mordelt/file_commands.h"

#include "mordelt/exit_codes.h"

namespace mordelt {

int CopyFileReplacing(platform::Files& files, const char* source, const char* destination) {
  if (!files.CopyFileA(source, destination, false)) return kExitFileCommandFailed;
  return kExitSuccess;
}

int DeleteFileForced(platform::Files& files, const char* path) {
  const std::uint32_t attributes = files.GetFileAttributesA(path);
  if (attributes != platform::kInvalidFileAttributes) {
    static_cast<void>(
        files.SetFileAttributesA(path, attributes & ~platform::kFileAttributeReadonly));
  }
  if (files.DeleteFileA(path)) return kExitSuccess;

  // Refused: only the system's "no such file" (or folder, or a name no file can have) means there
  // was nothing to delete.
  const platform::SystemError error = files.GetLastError();
  if (error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound ||
      error == platform::kErrorInvalidName) {
    return kExitSuccess;
  }
  // The file stays: it gets back the read-only mark that was cleared for the deletion.
  if (attributes != platform::kInvalidFileAttributes &&
      (attributes & platform::kFileAttributeReadonly) != 0) {
    static_cast<void>(files.SetFileAttributesA(path, attributes));
  }
  return kExitFileCommandFailed;
}

}  // namespace mordelt
