#pragma once

#include "platform/platform.h"

namespace mordelt {

// "-delregkeyfromfile": removes the registry value whose path is the first word of the text file
// `fileName`. The word (leading white space skipped, up to the next white space; of any length)
// is split at its last backslash, stepping over double-byte characters, into a key path and a
// value name (empty after a final backslash: the unnamed value), and DeleteRegistryValue removes
// that value; the rest of the file is not read.
//
// Returns 0 when the value was removed, and also when the file or its folder does not exist
// (nothing is written then). Returns 6 when the removal failed (with DeleteRegistryValue's
// message), and without a registry call or message when the file exists but cannot be opened
// (held open without sharing, access denied, a folder, a name no file can have) or is no file on
// a disk (a pipe, a console, a serial port, NUL), when it begins with a UTF-16 byte-order mark,
// at a read error before the word, when the file holds no word, when the word holds no backslash,
// when the word is not valid UTF-8 under the UTF-8 code page, or when memory for the word runs
// out.
[[nodiscard]] int DeleteValueFromPathFile(const platform::Platform& platform, const char* fileName);

}  // namespace mordelt
