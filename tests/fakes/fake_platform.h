#pragma once

#include "platform/platform.h"
#include "tests/fakes/call_log.h"
#include "tests/fakes/fake_code_page.h"
#include "tests/fakes/fake_console.h"
#include "tests/fakes/fake_devices.h"
#include "tests/fakes/fake_files.h"
#include "tests/fakes/fake_memory.h"
#include "tests/fakes/fake_processes.h"
#include "tests/fakes/fake_registry.h"
#include "tests/fakes/fake_window_system.h"

namespace fakes {

// Every facility faked, sharing one call log, and the Platform that hands them to the code.
struct FakePlatform {
  CallLog log;
  FakeMemory memory{log};
  FakeConsole console;
  FakeCodePage codePage;
  FakeWindowSystem windows{log};
  FakeRegistry registry{log, &codePage};
  FakeFiles files{log};
  FakeProcesses processes{log};
  FakeDevices devices{log};
  platform::Platform platform{memory,   console, codePage,  windows,
                              registry, files,   processes, devices};

  // A wait is on a process handle that is open.
  FakePlatform() {
    windows.isWaitable = [this](platform::ObjectHandle object) {
      return processes.IsProcessHandle(object);
    };
  }
  FakePlatform(const FakePlatform&) = delete;
  FakePlatform& operator=(const FakePlatform&) = delete;

  // Handles of every kind that are open now (keys, streams, searches, processes, device sets).
  int OpenHandles() const {
    return registry.OpenHandles() + files.OpenHandles() + processes.OpenHandles() +
           devices.OpenHandles();
  }
};

}  // namespace fakes
