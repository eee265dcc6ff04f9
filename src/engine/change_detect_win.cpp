#include "engine/change_detect.h"
#include "engine/local_install.h"

namespace engine {

uint32_t MergeComposeFiles(Compose& compose, const char16_t* new_description, ComposeLocation location) {
  return MergeComposeFiles(compose, new_description, location, SystemTargetFolders(compose.paths),
                           [](const FileEntry& entry) {
                             return IsInstallFileValid(entry.file_name.c_str(), entry.compose_name.c_str());
                           });
}

}  // namespace engine
