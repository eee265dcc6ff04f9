#pragma once
#include <windows.h>

namespace platform {
// The process-wide security attributes given to every file and folder the program creates:
// Everyone gets full control, inherited by sub-folders and files, so that later runs under other
// accounts can replace and remove them. Built once before main; null on non-NT systems.
SECURITY_ATTRIBUTES* ProcessSecurityAttributes();
}  // namespace platform
