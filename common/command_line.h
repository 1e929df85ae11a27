#pragma once

#include "platform/code_page.h"
#include "platform/memory.h"

namespace common {

enum class SplitStatus {
  Complete,        // every entry of the text is in the table
  TooManyEntries,  // the text holds more entries than the table has slots; the table is full
  OutOfMemory,     // a block for an entry could not be obtained; the table holds the ones before
};

// Where a delimiter character cuts the text.
enum class DelimiterPlace {
  Anywhere,     // every delimiter character cuts
  AtWordStart,  // only one at the start of the text, right after a blank or tab, or right
                // after another delimiter that cuts; any other belongs to the entry it stands in
};

struct SplitResult {
  int count;
  SplitStatus status;
};

// The command-line text within the process's whole command line as the system keeps it (wide):
// what follows the program name and the blanks and tabs after it.
//
// When the line begins with `ownPath`, the program's own full path, unquoted, and a blank, a tab
// or the end follows it, that whole path is the name, blanks and all: a caller that names the
// program without quotation marks around a folder such as "x -delete" still runs only its own
// command. The path matches without regard to case (by the system's case table for names, from
// `codePage`) and with or without its long-path prefix: "\\?\C:\x" is "C:\x", and
// "\\?\UNC\server\x" is "\\server\x". An empty `ownPath` never matches.
//
// Otherwise a name that starts with a double quote runs through the closing quote (to the end
// when there is none); any other name runs up to the first blank or tab. Only U+0022, U+0020 and
// U+0009 count: look-alikes of them (fullwidth forms, other spaces) belong to the name.
const wchar_t* SkipProgramName(const platform::CodePage& codePage, const wchar_t* commandLine,
                               const wchar_t* ownPath);

// Cuts the command-line text at `delimiter` (where `place` lets it cut) into the argument table:
// trimmed, non-empty entries in the order of the text. With `rePrefix`, the delimiter is put
// back in front of each entry. A double-byte character is one character: its trail byte is
// never a delimiter, blank or tab.
// Each entry is a heap block of its length + 2 bytes, ending in two NULs, that is never
// released. At most `capacity` slots of `table` are written.
SplitResult SplitCommandLine(platform::Memory& memory, const platform::CodePage& codePage,
                             const char* text, char delimiter, bool rePrefix, DelimiterPlace place,
                             char** table, int capacity);

}  // namespace common
