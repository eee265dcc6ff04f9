#include <cerrno>

#include "platform/last_error.h"

namespace platform {

uint32_t KeepsLastError::SaveError() { return static_cast<uint32_t>(errno); }
void KeepsLastError::RestoreError(uint32_t error) { errno = static_cast<int>(error); }

}  // namespace platform
