#include "mordelt/file_commands.h"

#include "mordelt/exit_codes.h"
#include "platform/system_error.h"

namespace mordelt {

int CopyFileReplacing(platform::Files& files, const char* source, const char* destination) {
  if (!files.CopyFileA(source, destination, false)) return kExitFileCommandFailed;
  return kExitSuccess;
}

namespace {

// Opens `path` itself for `access`, sharing everything: a link is opened, never the file it
// points to, and a folder not at all.
platform::UniqueFile OpenLinkItself(platform::Files& files, const char* path,
                                    std::uint32_t access) {
  return platform::UniqueFile(
      files, files.CreateFileA(
                 path, access,
                 platform::kFileShareRead | platform::kFileShareWrite | platform::kFileShareDelete,
                 platform::kFileFlagOpenReparsePoint | platform::kSecuritySqosPresent |
                     platform::kSecurityIdentification));
}

}  // namespace

int DeleteFileForced(platform::Files& files, const char* path) {
  // Every step goes through one handle, so that a folder of the path replaced meanwhile cannot
  // make them reach different files. A file that another program holds open without sharing
  // deletion is refused here, before anything changes.
  constexpr std::uint32_t kDeleteAndReadAttributes =
      platform::kDeleteAccess | platform::kFileReadAttributes;
  platform::UniqueFile file =
      OpenLinkItself(files, path, kDeleteAndReadAttributes | platform::kFileWriteAttributes);
  // A file that may be deleted but whose attributes may not be changed still goes when it is not
  // read-only: its mark then cannot be cleared, and the deletion refuses it.
  if (!file && files.GetLastError() == platform::kErrorAccessDenied) {
    file = OpenLinkItself(files, path, kDeleteAndReadAttributes);
  }
  if (!file) {
    // Only the system's "no such file" (or folder, or a name no file can have) means there is
    // nothing to delete.
    const platform::SystemError error = files.GetLastError();
    return error == platform::kErrorFileNotFound || error == platform::kErrorPathNotFound ||
                   error == platform::kErrorInvalidName
               ? kExitSuccess
               : kExitFileCommandFailed;
  }
  // A pipe or device of that name is no file to delete.
  if (files.GetFileType(file.get()) != platform::kFileTypeDisk) return kExitFileCommandFailed;

  // Clear the read-only mark, writing the attributes back even when it is clear. A file left
  // without attributes is given the "normal" one: 0 would change nothing.
  platform::FileInformation information;
  const bool known = files.GetFileInformationByHandle(file.get(), &information);
  const bool wasReadOnly =
      known && (information.attributes & platform::kFileAttributeReadonly) != 0;
  const std::uint32_t withoutMark = information.attributes & ~platform::kFileAttributeReadonly;
  const bool cleared =
      known && files.SetFileBasicInfo(
                   file.get(), withoutMark != 0 ? withoutMark : platform::kFileAttributeNormal);
  const bool marked = files.SetFileDispositionInfo(file.get());

  // A refused deletion leaves the file, which gets back the mark that was cleared; so does a
  // file that lives on under other names (hard links).
  if (cleared && wasReadOnly && (!marked || information.numberOfLinks > 1)) {
    static_cast<void>(files.SetFileBasicInfo(file.get(), information.attributes));
  }
  return marked ? kExitSuccess : kExitFileCommandFailed;  // deleted when the handle is closed
}

}  // namespace mordelt
