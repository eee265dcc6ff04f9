#include "base/version.h"

namespace base {
const char* ProductVersion() { return "0.1.0"; }
}  // namespace base
