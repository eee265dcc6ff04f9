#pragma once
// The checks a typed install folder passes before an install starts: a full path on a drive, not
// a drive root, not inside the Windows folder, short enough for the deepest file the suite places.
#include <string>
#include <string_view>

namespace app {

enum class FolderProblem {
  kNone,
  kNotFullPath,     // relative, a UNC or device path, or characters no folder name may hold
  kDriveRoot,       // "C:\": the suite would spread over the drive's root
  kSystemFolder,    // the Windows folder or a folder in it
  kTooLong,         // leaves too little room for the suite's own paths
  kCannotCreate,    // the folder cannot be made (set by the caller that tried)
};

// The longest install folder accepted: the platform's 259 characters less the longest path the
// suite places below it.
constexpr size_t kMaxInstallFolderChars = 160;

// The problem of folder, judged by its text against the Windows folder (windows_dir may be empty).
FolderProblem CheckInstallFolderText(std::u16string_view folder, std::u16string_view windows_dir);

// The message the folder page shows for a problem; null for kNone.
const char16_t* FolderProblemMessage(FolderProblem problem);

}  // namespace app
