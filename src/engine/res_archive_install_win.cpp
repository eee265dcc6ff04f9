#include "app/folders.h"
#include "engine/res_archive_install.h"

namespace engine {

void DoUnzipResFile(const FileEntryList& files) { UnzipResFiles(files, app::GetInstallDir()); }

}  // namespace engine
