#include "app/folders.h"
#include "engine/work_paths.h"

namespace engine {

WorkPaths InstalledWorkPaths() { return WorkPaths(app::GetInstallDir()); }

}  // namespace engine
