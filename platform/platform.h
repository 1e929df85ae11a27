#pragma once

#include "platform/code_page.h"
#include "platform/console.h"
#include "platform/memory.h"
#include "platform/window_system.h"

namespace platform {

class Registry;
class Files;
class Processes;
class Devices;

// Everything the programs reach of Windows, one interface per facility. The programs get the
// Windows implementation (Win32Platform); the unit tests get fakes.
struct Platform {
  Memory& memory;
  Console& console;
  CodePage& codePage;
  WindowSystem& windows;
  Registry& registry;
  Files& files;
  Processes& processes;
  Devices& devices;
};

}  // namespace platform
