#include "app/folders.h"

#include "platform/system.h"

namespace app {

std::u16string GetTempWorkDir() { return platform::TempDirectory() + u"HavenClient\\"; }

}  // namespace app
