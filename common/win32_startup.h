#pragma once

#include "platform/code_page.h"

namespace common {

// The first thing both programs do: DLLs that the process loads by name from now on (user32
// loads uxtheme.dll when the main window is created) come from the system directory only, never
// from the program's folder or the current directory. Where SetDefaultDllDirectories is missing
// (Windows 7 without KB2533623), only the current directory is taken out of the search.
void RestrictDllSearchToSystemDirectory();

// The command-line text of the process: GetCommandLineA without the program name and the blanks
// and tabs after it, byte for byte (see SkipProgramName).
const char* ProcessCommandText(const platform::CodePage& codePage);

}  // namespace common
