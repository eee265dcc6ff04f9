#pragma once
#include <windows.h>

namespace platform {
// The process-wide security attributes given to every file and folder the program creates:
// Everyone gets full control, inherited by sub-folders and files, so that later runs under other
// accounts can replace and remove them. Built at the first call; null on non-NT systems.
SECURITY_ATTRIBUTES* ProcessSecurityAttributes();

// The program's first step: DLLs loaded by name from now on, the system DLLs a program delay-loads
// among them, come from the system folder only, never from the folder a downloaded program sits
// in. (Windows 7 without its DLL-search update has no SetDefaultDllDirectories; there the current
// folder at least leaves the search.)
void RestrictDllSearchToSystemFolder();
}  // namespace platform
