#pragma once

#include "platform/platform.h"

namespace platform::win32 {

// The Windows implementation of every facility, each a single instance for the process.
Memory& Win32Memory();
Console& Win32Console();
CodePage& Win32CodePage();
WindowSystem& Win32WindowSystem();
Registry& Win32Registry();
Files& Win32Files();
Processes& Win32Processes();
Devices& Win32Devices();

// All of them together, as the programs hand them to their commands.
const Platform& Win32Platform();

}  // namespace platform::win32
