#pragma once

#include <windows.h>

namespace platform::win32 {

// Runs a release call (closing a stream, a search or a device set) and leaves the calling
// thread's last error as it was before, so that a handle closed on the way out of an operation
// does not change the error the operation is reporting.
template <typename Call>
auto KeepingLastError(Call call) {
  const DWORD saved = ::GetLastError();
  const auto result = call();
  ::SetLastError(saved);
  return result;
}

}  // namespace platform::win32
