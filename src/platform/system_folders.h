#pragma once
// The system folders and environment expansion, for resolving the folder macros and
// environment forms of install paths (the Windows folder is platform::WindowsDirectory).
// Folders carry no trailing separator, as the platform returns them. The host build has no
// system folders: those queries report false there, and environment expansion reads the
// process environment.
#include <string>
#include <string_view>

namespace platform {

// The system folder of this process (GetSystemDirectoryW); in a 64-bit build the real 64-bit
// one.
bool GetSystemFolder(std::u16string* folder);

// The folder where a 32-bit program's writes to the system folder land: the 32-bit system
// folder (GetSystemWow64DirectoryW) when this 64-bit build runs on 64-bit Windows, otherwise
// the system folder itself.
bool GetSystemFolderFor32BitFiles(std::u16string* folder);

// The real 64-bit system folder, true only when the program runs under 64-bit Windows: in the
// (64-bit only) Windows build the system folder itself.
bool GetSystemDirectoryFor64(std::u16string* folder);

// Replaces every %NAME% whose variable is set by its value; other text, including references
// to unset variables, stays as written. False when the platform call fails.
bool ExpandEnvironment(std::u16string_view text, std::u16string* expanded);

}  // namespace platform
