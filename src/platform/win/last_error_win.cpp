#include <windows.h>

#include "platform/last_error.h"

namespace platform {

uint32_t KeepsLastError::SaveError() { return GetLastError(); }
void KeepsLastError::RestoreError(uint32_t error) { SetLastError(error); }

}  // namespace platform
