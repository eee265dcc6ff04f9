#pragma once
// What every removal of a compose goes through: calling the uninstall entry points that the
// compose's own DLLs export, and removing its installed state, folder and description once its
// files are gone.
//
// The "Uninstall" section of a compose description: each key is the file name of a DLL in the
// compose's folder; the value names an exported entry point, "UnInstall" when empty. The entry
// point takes no arguments and returns an integer; non-zero asks for a restart.
#include <string>

#include "engine/compose.h"
#include "engine/local_install.h"
#include "engine/target_path.h"
#include "engine/work_paths.h"

namespace engine {

// Windows only. Calls the entry points of the loaded description's "Uninstall" section, in
// order; a non-zero result sets *restart_needed. A DLL that cannot be loaded, lacks its entry
// point or faults inside it is logged and passed over. A 32-bit DLL, which this 64-bit program
// cannot load, is passed over with a log line and asks for no restart.
void UninstallComposeDll(const Compose& compose, const TargetFolders& folders, bool* restart_needed);

// Removes the compose from the store's installed list, deletes its install folder with
// everything in it, and deletes its installed description. Nothing for a null name. The folder
// is deleted only when it lies strictly inside the install folder: a compose whose Path is
// empty (its folder is the install folder itself) or cannot be read keeps every folder. Failed
// deletions are not reported. keep_folder keeps the folder, for a compose whose files are not all
// removed (the files an uninstall leaves on disk).
void RemoveComposeState(ILocalInstall* store, const WorkPaths& paths, const char16_t* name,
                        bool keep_folder = false);

}  // namespace engine
