#pragma once
// RestartNeeded: set when a file can only be replaced or removed at the next start of the system
// (file placement, compose uninstall entry points). Process-wide, initially 0, and only ever
// set: nothing a later step does can make the replacement unnecessary again. The engine hands it
// to the view with every OnFinish.
#include <cstdint>

namespace engine {

// 1 once any step of the process needed a restart, else 0.
uint32_t RestartNeeded();
void SetRestartNeeded();

}  // namespace engine
