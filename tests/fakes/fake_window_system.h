#pragma once

#include <map>
#include <string>

#include "platform/window_system.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// The window system: string resources by id, the class registered and the window created.
class FakeWindowSystem final : public platform::WindowSystem {
 public:
  explicit FakeWindowSystem(CallLog& log) : log_(log) {}

  int LoadStringA(platform::InstanceHandle instance, unsigned id, char* buffer, int size) override;
  bool RegisterClassExA(const platform::WindowClass& windowClass) override;
  platform::WindowHandle CreateWindowExA(const platform::WindowCreation& creation) override;
  bool ShowWindow(platform::WindowHandle window, int showCommand) override;
  bool UpdateWindow(platform::WindowHandle window) override;
  platform::AcceleratorsHandle LoadAcceleratorsA(platform::InstanceHandle instance,
                                                 unsigned id) override;

  std::map<unsigned, std::string> strings;  // the program's string resources
  platform::WindowClass registeredClass;
  std::string registeredClassName;
  platform::WindowCreation createdWindow;
  std::string createdClassName;
  std::string createdWindowName;
  bool windowExists = false;
  bool windowVisible = false;

 private:
  CallLog& log_;
};

}  // namespace fakes
