#pragma once

#include <cstdint>

namespace platform {

// INVALID_HANDLE_VALUE, the "owns nothing" value of the handle kinds that are not null then.
constexpr std::intptr_t kInvalidHandleValue = -1;

// One kind of handle: the facility whose call releases it, the handle type, that call (a member
// function of the facility taking the handle), and the value that owns nothing.
template <typename FacilityType, typename HandleType, auto CloseCall,
          std::intptr_t InvalidValue = 0>
struct HandleTraits {
  using Facility = FacilityType;
  using Handle = HandleType;
  static Handle Invalid() noexcept { return reinterpret_cast<Handle>(InvalidValue); }
  static void Close(Facility& facility, Handle handle) {
    static_cast<void>((facility.*CloseCall)(handle));
  }
};

// Owns one handle and releases it exactly once, on every path, through the facility it came
// from. Move-only; get / put / release / reset / explicit bool, as the usual handle wrappers.
// Closing does not disturb the caller's last error: the facilities whose calls report one keep
// it across their release calls.
template <typename Traits>
class UniqueHandle {
 public:
  using Facility = typename Traits::Facility;
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept = default;
  explicit UniqueHandle(Facility& facility, Handle handle = Traits::Invalid()) noexcept
      : facility_(&facility), handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  UniqueHandle(UniqueHandle&& other) noexcept
      : facility_(other.facility_), handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset(other.release());
      facility_ = other.facility_;
    }
    return *this;
  }

  Handle get() const noexcept { return handle_; }
  // The handle as a pointer to T (for a heap block: what it holds).
  template <typename T>
  T* as() const noexcept {
    return static_cast<T*>(handle_);
  }

  // Releases what is owned and hands out the slot for a call that fills it.
  Handle* put() noexcept {
    reset();
    return &handle_;
  }

  // Gives up ownership without releasing.
  [[nodiscard]] Handle release() noexcept {
    Handle handle = handle_;
    handle_ = Traits::Invalid();
    return handle;
  }

  void reset(Handle handle = Traits::Invalid()) noexcept {
    if (handle_ != Traits::Invalid()) Traits::Close(*facility_, handle_);
    handle_ = handle;
  }

  explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

 private:
  Facility* facility_ = nullptr;
  Handle handle_ = Traits::Invalid();
};

}  // namespace platform
