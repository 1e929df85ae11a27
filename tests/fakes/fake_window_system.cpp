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

bool FakeWindowSystem::PeekMessageA(platform::WindowMessage* message, std::uint32_t removeFlags) {
  if (log_.Record("PeekMessageA", Hex(removeFlags)) || queue.empty()) return false;
  *message = queue.front();
  if (removeFlags & platform::kRemoveMessage) queue.pop_front();
  return true;
}

std::intptr_t FakeWindowSystem::DispatchMessageA(const platform::WindowMessage& message) {
  log_.Record("DispatchMessageA", Hex(message.message));
  dispatched.push_back(message.message);
  return 0;
}

std::uint32_t FakeWindowSystem::MsgWaitForMultipleObjects(platform::ObjectHandle object,
                                                          std::uint32_t milliseconds,
                                                          std::uint32_t wakeMask) {
  const auto fault =
      log_.Record("MsgWaitForMultipleObjects", Hex(reinterpret_cast<std::uintptr_t>(object)) +
                                                   ", " + Hex(milliseconds) + ", " + Hex(wakeMask));
  if (fault || !isWaitable(object)) return platform::kWaitFailed;
  if (!queue.empty()) ++waitsOverQueuedMessages;
  if (arrivals.empty()) return platform::kWaitObject0;
  queue.insert(queue.end(), arrivals.front().begin(), arrivals.front().end());
  arrivals.pop_front();
  return platform::kWaitObject0 + 1;
}

}  // namespace fakes
