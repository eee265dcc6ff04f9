#pragma once
// One RAII owner for every handle type: move-only, and closing keeps the thread's error state
// so that a caller can still read the error of the call that failed after the owner is gone.
//
// The traits say what the handle is and how it goes:
//   using Handle = ...;                  the handle type
//   static Handle Invalid();             the value that owns nothing
//   static bool IsValid(Handle);         whether a value is to be closed
//   static void Close(Handle);
//   static E SaveError();                the thread's error before the close (any copyable E)...
//   static void RestoreError(E);         ...put back after it
// KeepsErrno supplies the error hooks for closes that may change errno; Windows traits keep
// the thread's last error instead (platform/win/unique_handles.h).
#include <cerrno>
#include <utility>

namespace base {

template <typename Traits>
class UniqueAny {
 public:
  using Handle = typename Traits::Handle;

  UniqueAny() = default;
  explicit UniqueAny(Handle h) : h_(h) {}
  ~UniqueAny() { reset(); }
  UniqueAny(UniqueAny&& o) noexcept : h_(o.release()) {}
  UniqueAny& operator=(UniqueAny&& o) noexcept {
    if (this != &o) reset(o.release());
    return *this;
  }
  UniqueAny(const UniqueAny&) = delete;
  UniqueAny& operator=(const UniqueAny&) = delete;

  Handle get() const { return h_; }
  explicit operator bool() const { return Traits::IsValid(h_); }
  // Closes what is owned and hands out the storage for a call that returns a new handle.
  Handle* put() {
    reset();
    return &h_;
  }
  Handle release() { return std::exchange(h_, Traits::Invalid()); }
  void reset(Handle h = Traits::Invalid()) {
    if (Traits::IsValid(h_)) {
      const auto error = Traits::SaveError();
      Traits::Close(h_);
      Traits::RestoreError(error);
    }
    h_ = h;
  }

 private:
  Handle h_ = Traits::Invalid();
};

// Error hooks that keep errno across the close.
struct KeepsErrno {
  static int SaveError() { return errno; }
  static void RestoreError(int error) { errno = error; }
};

}  // namespace base
