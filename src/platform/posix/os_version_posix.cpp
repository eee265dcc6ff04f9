#include "platform/os_version.h"

namespace platform {

// The host build runs on no Windows version at all.
bool QueryOsVersion(OsVersionFacts* facts) { return false; }

bool IsRunningUnder64BitWindows() { return false; }

}  // namespace platform
