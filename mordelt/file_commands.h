#pragma once

#include "platform/files.h"

namespace mordelt {

// Copies `source` to `destination`, replacing an existing destination. Returns 0 when the copy
// was made, 7 when the platform refused it (the destination is then as the platform left it).
[[nodiscard]] int CopyFileReplacing(platform::Files& files, const char* source,
                                    const char* destination);

// Deletes `path`, clearing its read-only attribute first, all through one handle: a link at the
// path is deleted itself, never its target. Returns 0 when the system accepted the deletion (a
// file that another program holds open with delete sharing goes when that program closes it)
// and when there is no such file (no such file or folder, a name no file can have); 7 when the
// system refused the deletion for another reason (held open without delete sharing, access
// denied, a folder, a pipe or device): a read-only file then gets its attributes back as they
// were, and so does one deleted under this name that keeps other names (hard links). A file whose
// attributes may not be changed is still deleted when it is not read-only. Nothing is printed.
[[nodiscard]] int DeleteFileForced(platform::Files& files, const char* path);

}  // namespace mordelt
