#pragma once

#include <cstdint>

namespace platform {

// A system error code: what GetLastError reports, and what a registry call returns.
using SystemError = std::uint32_t;

constexpr SystemError kErrorSuccess = 0;               // ERROR_SUCCESS
constexpr SystemError kErrorFileNotFound = 2;          // ERROR_FILE_NOT_FOUND
constexpr SystemError kErrorPathNotFound = 3;          // ERROR_PATH_NOT_FOUND
constexpr SystemError kErrorAccessDenied = 5;          // ERROR_ACCESS_DENIED
constexpr SystemError kErrorInvalidHandle = 6;         // ERROR_INVALID_HANDLE
constexpr SystemError kErrorNotEnoughMemory = 8;       // ERROR_NOT_ENOUGH_MEMORY
constexpr SystemError kErrorInsufficientBuffer = 122;  // ERROR_INSUFFICIENT_BUFFER
constexpr SystemError kErrorInvalidName = 123;         // ERROR_INVALID_NAME
constexpr SystemError kErrorNoMoreItems = 259;         // ERROR_NO_MORE_ITEMS
constexpr SystemError kErrorKeyDeleted = 1018;         // ERROR_KEY_DELETED

// A facility whose calls leave their error for the calling thread's last error.
class LastError {
 public:
  virtual ~LastError() = default;
  // GetLastError(): the error the facility's last failed call left. The facility's release
  // calls (closing a stream, a search or a set) leave it as it was.
  virtual SystemError GetLastError() = 0;
};

}  // namespace platform
