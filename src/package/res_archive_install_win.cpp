#include "app/folders.h"
#include "package/res_archive_install.h"

namespace package {

void DoUnzipResFile(const engine::FileEntryList& files) { UnzipResFiles(files, app::GetInstallDir()); }

}  // namespace package
