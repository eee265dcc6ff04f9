#pragma once
// Replacement of files at the next restart of the machine. NT-family systems keep a list of
// delayed moves (MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT); older systems read the
// "[rename]" section of "wininit.ini" in the Windows folder, which the caller edits itself
// (package/wininit_rename.h). The host build has neither: its operations report failure.
#include <string>
#include <string_view>

namespace platform {

// True on NT-family systems (the version word's top bit is clear). The host build answers true,
// so that callers take the delayed-move road, which fails there.
bool IsNtFamilySystem();

// The short (8.3) form of an existing path; the path unchanged when it has none or the platform
// cannot tell (a missing file, the host build).
std::u16string ShortPathName(std::u16string_view path);

// Asks the platform to move source onto destination at the next restart, replacing an existing
// destination, or to delete source there when destination is null. Goes through MoveFileExA,
// looked up by name in "Kernel32", with MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT
// and both paths in the calling thread's ANSI code page. False when the lookup or the call fails,
// or when a path has a character that the code page lacks (it would name another file);
// always false on the host build.
bool MoveFileAtRestart(std::u16string_view source, const std::u16string* destination);

}  // namespace platform
