#pragma once

#include <utility>

namespace platform {

// Owns one handle and releases it exactly once, on every path.
//
// Traits describes the handle kind:
//   using Handle = ...;                  the handle type
//   static Handle Invalid();             the value that owns nothing
//   void Close(Handle) const;            releases a valid handle
// Traits may carry state (for example the interface whose call releases the handle).
// Move-only; get / put / release / reset / explicit bool, as the usual handle wrappers.
template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() noexcept : traits_(), handle_(Traits::Invalid()) {}
  explicit UniqueHandle(Traits traits, Handle handle = Traits::Invalid()) noexcept
      : traits_(traits), handle_(handle) {}
  ~UniqueHandle() { reset(); }

  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  UniqueHandle(UniqueHandle&& other) noexcept : traits_(other.traits_), handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      reset(other.release());
      traits_ = other.traits_;
    }
    return *this;
  }

  Handle get() const noexcept { return handle_; }

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
    if (handle_ != Traits::Invalid()) traits_.Close(handle_);
    handle_ = handle;
  }

  explicit operator bool() const noexcept { return handle_ != Traits::Invalid(); }

 private:
  Traits traits_;
  Handle handle_;
};

}  // namespace platform
