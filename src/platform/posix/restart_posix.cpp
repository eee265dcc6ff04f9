// The host build has no restart facility: nothing can be scheduled.
#include "platform/restart.h"

namespace platform {

bool IsNtFamilySystem() { return true; }

std::u16string ShortPathName(std::u16string_view path) { return std::u16string(path); }

bool MoveFileAtRestart(std::u16string_view, const std::u16string*) { return false; }

}  // namespace platform
