#pragma once
// Error hooks for base::UniqueAny traits of platform handles: the close keeps the calling
// thread's last error (GetLastError on Windows, errno on the host), so that the error of the
// call that failed can still be read after the owner is gone.
#include <cstdint>

namespace platform {

struct KeepsLastError {
  static uint32_t SaveError();
  static void RestoreError(uint32_t error);
};

}  // namespace platform
