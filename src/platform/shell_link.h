#pragma once
// Shell links (".lnk" files) and the shell folders they are placed in. The Windows build goes
// through the shell link object (IShellLinkW with IPersistFile); COM must be initialised on the
// calling thread. The host build has no shell: every call there reports failure.
#include <cstdint>
#include <string>
#include <string_view>

namespace platform {

struct ShellLinkFields {
  std::u16string target;
  std::u16string arguments;    // empty: none set
  std::u16string icon;         // empty: none set; otherwise index 0 of this file
  std::u16string description;  // empty: none set
};

enum class ShellLinkResult {
  kSaved,
  kNoLinkObject,  // the link object could not be created or filled in
  kSaveFailed,    // *error holds the code of the failed save
};

// Writes a link at link_path (replacing a file of that name) and remembers the path in the
// link object as its current file.
ShellLinkResult SaveShellLink(const ShellLinkFields& link, std::u16string_view link_path, uint32_t* error);

// Reads the link at link_path. False when it cannot be loaded.
bool ReadShellLink(std::u16string_view link_path, ShellLinkFields* link);

// The all-users desktop (asked again by folder id, all-users then the user's own, when the
// first answer is shorter than 6 characters) and the all-users programs menu. Without a trailing
// separator; false and empty when the shell cannot tell.
bool GetDesktopDirectory(std::u16string* folder);
bool GetProgramsDirectory(std::u16string* folder);

// Gives a folder settings file ("desktop.ini") the attributes the shell expects of it: hidden,
// system and archive.
bool MarkFolderSettingsFile(std::u16string_view path);

}  // namespace platform
