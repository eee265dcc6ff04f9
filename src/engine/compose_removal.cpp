#include "engine/compose_removal.h"

#include "base/path.h"
#include "base/strings.h"
#include "package/file_utils.h"
#include "platform/fs.h"

namespace engine {

void RemoveComposeState(ILocalInstall* store, const WorkPaths& paths, const char16_t* name, bool keep_folder) {
  if (!name) return;
  if (store) store->RemoveInstalledCompose(name);
  // Read before the description goes; ComposeInstallDir already refuses a Path that leads out.
  const std::u16string folder = ComposeInstallDir(paths, name);
  const std::u16string& install_dir = paths.InstallDir();
  if (!keep_folder && !install_dir.empty() && folder.size() > install_dir.size() &&
      base::StartsWithIgnoreAsciiCase(folder, install_dir)) {
    package::DeleteTree(folder.c_str(), true);
  }
  const std::u16string description = paths.ComposeFilePath(name, ComposeLocation::kInstalled);
  if (!description.empty()) platform::DeleteFileAt(description);
}

}  // namespace engine
