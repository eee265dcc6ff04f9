#pragma once
// Where an installed file goes. Field 1 of a file line (the destination folder D) takes one of
// three forms:
//   "%..."           environment form: D with its %NAME% references expanded
//   "$SYSTEM32..."   the system folder, then the rest of D unchanged ("$SYSTEM32\drivers");
//                    64-bit system files (kOs64BitFileBits in field 15) get the real 64-bit
//                    one, other files the folder where a 32-bit program's writes would land
//   "$WINDOWS..."    the Windows folder, then the rest of D
//   anything else    relative: {I}{compose folder}\D
// and the target is that folder, a "\", and the file name. The resolution itself is string work
// over the folder facts in TargetFolders, so it runs the same on every build; SystemTargetFolders
// gathers the facts of the running system.
#include <functional>
#include <string>
#include <string_view>

#include "engine/compose.h"
#include "engine/file_entry.h"
#include "engine/work_paths.h"

namespace engine {

// The folder facts that target paths depend on. Folders may end in a separator or not.
struct TargetFolders {
  std::u16string install_dir;  // {I}
  std::u16string system;       // "$SYSTEM32" of ordinary files
  // "$SYSTEM32" of 64-bit system files; empty when GetSystemDirectoryFor64 failed, in which case
  // those files fall back to `system` with a warning in the log.
  std::u16string system_for64;
  std::u16string windows;  // "$WINDOWS"
  // Expands the environment form; false when expansion fails.
  std::function<bool(std::u16string_view text, std::u16string* expanded)> expand_environment;
};

// The facts of the running system (the system folder queries and the process environment) with
// the install folder of paths. On the host build the system folders are empty and the Windows
// folder is platform::WindowsDirectory's stand-in.
TargetFolders SystemTargetFolders(const WorkPaths& paths);

// The full path of the entry's installed copy. Never fails in the sense of a code; it gives an
// empty text, with a warning in the log, when no sound path exists: the macro is neither
// "$SYSTEM32" nor "$WINDOWS", the folder a macro names is unknown, the environment form
// cannot be expanded to an absolute folder (an unset variable stays unexpanded), the file name
// is not a plain relative name, or field 1 or the compose folder would climb out of the folder
// they are joined to (the rule file lines are parsed with).
std::u16string FileTargetPath(const FileEntry& entry, const TargetFolders& folders);

// The target path of a file given by the identifier "{section}-{file name}" (split at the first
// "-"), looked up in the compose's loaded description: the line is parsed into a fresh record
// carrying the compose's name and folder, copied to *entry when entry is not null. Empty text
// when the identifier has no "-", the section or key is missing, or the line does not parse.
std::u16string FileTargetPathById(const Compose& compose, std::u16string_view identifier,
                                  const TargetFolders& folders, FileEntry* entry = nullptr);

// The target path of a file of an installed compose, read from its Installed-location
// description: the first line for file_name (in the sections that "HaveSection" lists under the
// compose's name, in order) whose field 1 equals dest_folder (any when dest_folder is null).
// When the compose has no such line and its "OldFile_Map" names another compose for the file,
// that compose is searched the same way (a chain that comes back to a compose already searched
// stops there). Otherwise {I}{Path}\{file_name} of the last compose searched. Empty text when a
// description on the way cannot be read, or a compose name or Path is not a plain relative name.
std::u16string FindInstalledFilePath(const TargetFolders& folders, std::u16string_view compose_name,
                                     std::u16string_view file_name, const char16_t* dest_folder);

}  // namespace engine
