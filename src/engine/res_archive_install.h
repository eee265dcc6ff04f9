#pragma once
// The install engine's use of the resource archives: after it has placed a run's files, the
// archives "DrawData.dat", "html.dat" and "uninstall.dat" that the run installed into
// "<install folder>ProgData\" are unpacked into "<install folder>DrawData\", "html\" and
// "uninstall\". The outcome does not affect the run; damaged archives and entries are passed over.
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_entry.h"

namespace engine {

// The archive base names, in the order they are unpacked.
constexpr const char16_t* kResArchiveNames[] = {u"DrawData", u"html", u"uninstall"};

// For each archive name whose "<name>.dat" is the file name of some record of files (ASCII case
// ignored, any compose): logs "Check <name>,<archive path>,<destination>", creates the destination
// and extracts every archive of the file into it. install_dir ends in a separator. Logs
// "DoUnzipResFile" first; an empty install_dir stops there.
void UnzipResFiles(const FileEntryList& files, std::u16string_view install_dir);

// UnzipResFiles with the install folder from app::GetInstallDir (Windows only).
void DoUnzipResFile(const FileEntryList& files);

}  // namespace engine
