#pragma once

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/window_system.h"
#include "tests/fakes/call_log.h"

namespace fakes {

// The window system: string resources by id, the class registered and the window created, and
// the thread's message queue.
//
// PeekMessageA takes the first message of `queue`; DispatchMessageA records the message it is
// given. MsgWaitForMultipleObjects answers as the system does when the awaited object is a child
// that runs while each batch of `arrivals` comes in: each call takes the next batch into the queue
// and answers kWaitObject0 + 1; once no batch is left, the child has ended (kWaitObject0). An
// object for which `isWaitable` says no, or a planned fault, gives kWaitFailed. A wait that
// begins with messages left in the queue is counted: the system would sleep on them.

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
  bool PeekMessageA(platform::WindowMessage* message, std::uint32_t removeFlags) override;
  std::intptr_t DispatchMessageA(const platform::WindowMessage& message) override;
  std::uint32_t MsgWaitForMultipleObjects(platform::ObjectHandle object, std::uint32_t milliseconds,
                                          std::uint32_t wakeMask) override;

  std::map<unsigned, std::string> strings;  // the program's string resources
  platform::WindowClass registeredClass;
  std::string registeredClassName;
  platform::WindowCreation createdWindow;
  std::string createdClassName;
  std::string createdWindowName;
  bool windowExists = false;
  bool windowVisible = false;

  // The message queue and what arrives in it during each wait.
  std::deque<platform::WindowMessage> queue;
  std::deque<std::vector<platform::WindowMessage>> arrivals;
  std::function<bool(platform::ObjectHandle)> isWaitable = [](platform::ObjectHandle object) {
    return object != nullptr;
  };
  // What was seen.
  std::vector<std::uint32_t> dispatched;  // the message numbers, in order
  int waitsOverQueuedMessages = 0;

 private:
  CallLog& log_;
};

}  // namespace fakes
