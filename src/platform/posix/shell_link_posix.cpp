// The host has no shell: no links, no shell folders.
#include "platform/shell_link.h"

namespace platform {

ShellLinkResult SaveShellLink(const ShellLinkFields&, std::u16string_view, uint32_t* error) {
  *error = 0;
  return ShellLinkResult::kNoLinkObject;
}

bool ReadShellLink(std::u16string_view, ShellLinkFields*) { return false; }

bool GetDesktopDirectory(std::u16string* folder) {
  folder->clear();
  return false;
}

bool GetProgramsDirectory(std::u16string* folder) {
  folder->clear();
  return false;
}

bool MarkFolderSettingsFile(std::u16string_view) { return false; }

}  // namespace platform
