#include "tests/fakes/fake_window_system.h"

#include <cstring>

namespace fakes {
namespace {

platform::WindowHandle TheWindow() { return reinterpret_cast<platform::WindowHandle>(0x1000); }

}  // namespace

int FakeWindowSystem::LoadStringA(platform::InstanceHandle, unsigned id, char* buffer, int size) {
  if (log_.Record("LoadStringA", std::to_string(id) + ", " + std::to_string(size)) || size <= 0) {
    if (size > 0) buffer[0] = '\0';
    return 0;
  }
  auto found = strings.find(id);
  const std::string text = found == strings.end() ? std::string() : found->second;
  const std::size_t length = std::min(text.size(), static_cast<std::size_t>(size - 1));
  std::memcpy(buffer, text.data(), length);
  buffer[length] = '\0';
  return static_cast<int>(length);
}

bool FakeWindowSystem::RegisterClassExA(const platform::WindowClass& windowClass) {
  registeredClass = windowClass;
  registeredClassName = windowClass.className ? windowClass.className : "";
  registeredClass.className = nullptr;
  return !log_.Record("RegisterClassExA", Quote(windowClass.className));
}

platform::WindowHandle FakeWindowSystem::CreateWindowExA(const platform::WindowCreation& creation) {
  createdWindow = creation;
  createdClassName = creation.className ? creation.className : "";
  createdWindowName = creation.windowName ? creation.windowName : "";
  createdWindow.className = nullptr;
  createdWindow.windowName = nullptr;
  if (log_.Record("CreateWindowExA", Quote(creation.className) + ", " + Quote(creation.windowName) +
                                         ", " + Hex(creation.style))) {
    return nullptr;
  }
  windowExists = true;
  return TheWindow();
}

bool FakeWindowSystem::ShowWindow(platform::WindowHandle window, int showCommand) {
  log_.Record("ShowWindow", std::to_string(showCommand));
  if (window == TheWindow()) windowVisible = (showCommand != platform::kShowHide);
  return true;
}

bool FakeWindowSystem::UpdateWindow(platform::WindowHandle) {
  return !log_.Record("UpdateWindow", "");
}

platform::AcceleratorsHandle FakeWindowSystem::LoadAcceleratorsA(platform::InstanceHandle,
                                                                 unsigned id) {
  if (log_.Record("LoadAcceleratorsA", std::to_string(id))) return nullptr;
  return reinterpret_cast<platform::AcceleratorsHandle>(0x2000);
}

}  // namespace fakes
