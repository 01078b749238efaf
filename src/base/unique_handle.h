// The owner of one handle of the operating system or of a library: a descriptor, a folder
// listing, a loaded library, a COM reference. What a handle is, which value means "none" and how
// it is given back are the Traits:
//
//   struct Traits {
//     using Handle = ...;                    // a small value type
//     static Handle Invalid();               // the value that owns nothing
//     static void Close(Handle handle);      // called once, never with Invalid()
//   };
//
// The traits live beside the OS calls (in platform/<os>/), so this header knows no OS. An owner
// can be moved, never copied; it gives its handle back when it is destroyed or reset.
#pragma once

#include <type_traits>
#include <utility>

namespace base {

template <typename Traits>
class UniqueHandle {
 public:
  using Handle = typename Traits::Handle;

  UniqueHandle() = default;
  explicit UniqueHandle(Handle handle) : handle_(handle) {}
  ~UniqueHandle() { Reset(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(other.Release());
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  Handle get() const { return handle_; }
  bool valid() const { return !(handle_ == Traits::Invalid()); }
  explicit operator bool() const { return valid(); }
  // For handles that are pointers to an interface (COM).
  Handle operator->() const requires std::is_pointer_v<Handle> { return handle_; }

  // Gives back the handle held, then takes handle.
  void Reset(Handle handle = Traits::Invalid()) {
    const Handle old = std::exchange(handle_, handle);
    if (!(old == Traits::Invalid())) Traits::Close(old);
  }
  // Hands the handle over to the caller, who closes it from now on.
  [[nodiscard]] Handle Release() { return std::exchange(handle_, Traits::Invalid()); }
  // Gives back the handle held and lends the slot to a call that fills it in (an out parameter).
  Handle* Put() {
    Reset();
    return &handle_;
  }

 private:
  Handle handle_ = Traits::Invalid();
};

}  // namespace base
