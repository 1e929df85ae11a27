#pragma once

#include "platform/files.h"
#include "platform/platform.h"

namespace mordelt {

// What a registry script does with each of its entries.
enum class ScriptMode {
  SetValues,     // stores the data as the REG_SZ value (SetRegistryString)
  DeleteValues,  // removes the value; the data is read and not used (DeleteRegistryValue)
};

// A registry script is a text file whose lines are cut at double quotes into fields (a run of
// quotes is one separator, quotes at the start of a line are skipped, no field is empty); each
// field is trimmed of white space and blank ones are skipped. Three fields in a row make an
// entry: a key path (a field holding a backslash; other fields are skipped while a key path is
// awaited), a value name and the data. An entry lies on one line, and a line may hold several:
// a line that ends before its entry is complete drops it. A "/" as the last character of a line
// (blanks or tabs may follow it) joins the field it ends, without the "/" and the line end, to
// the first field of the next line; a "/" anywhere else is text.
//
// Applies each entry of the open text stream `file` in order, and stops at the first one that
// fails: returns its result (5 when setting, 6 when deleting) and leaves the entries before it
// applied. Returns 0 at the end of the file; an incomplete last entry is dropped. A read error,
// or memory for a line or a field running out, stops the script with the failure code of the
// mode (5 or 6), the entries before it applied, so that an installer never takes a partly read
// script for applied. So does an entry that the ANSI code page cannot hold as it is: under the
// UTF-8 code page, a key path, value name or (when setting) data that is not valid UTF-8. A file
// that begins with a UTF-16 byte-order mark is refused whole: failure code, nothing applied. Writes
// nothing itself (a failed deletion writes its own message). Neither opens nor closes `file`.
[[nodiscard]] int RunRegistryScript(const platform::Platform& platform, ScriptMode mode,
                                    platform::TextFileHandle file);

// "-regfile": applies the script file `fileName` in SetValues mode. Returns 0 or 5. A file or
// folder that does not exist gives 0; a file that exists but cannot be opened (held open without
// sharing, access denied, a folder, a name no file can have) gives 5, and so does a name that is
// no file on a disk (a pipe, a console, a serial port, NUL). Nothing is written in either case.
[[nodiscard]] int SetValuesFromScriptFile(const platform::Platform& platform, const char* fileName);

// "-delregfromfile": the same in DeleteValues mode, with 6 for 5. Returns 0 or 6.
[[nodiscard]] int DeleteValuesFromScriptFile(const platform::Platform& platform,
                                             const char* fileName);

}  // namespace mordelt
