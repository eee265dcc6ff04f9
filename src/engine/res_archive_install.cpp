#include "engine/res_archive_install.h"

#include <algorithm>

#include "app/log.h"
#include "base/path.h"
#include "base/strings.h"
#include "package/file_utils.h"
#include "package/res_archive.h"

namespace engine {

void UnzipResFiles(const FileEntryList& files, std::u16string_view install_dir) {
  app::LogText(u"DoUnzipResFile");
  // Without an install folder the paths below would be relative to the current folder.
  if (install_dir.empty()) return;
  for (const char16_t* name : kResArchiveNames) {
    const std::u16string archive_name = std::u16string(name) + u".dat";
    const bool installed = std::any_of(files.begin(), files.end(), [&](const FileEntry& entry) {
      return base::EqualsIgnoreAsciiCase(entry.file_name, archive_name);
    });
    if (!installed) continue;
    const std::u16string archive_path = base::JoinPath(install_dir, u"ProgData\\" + archive_name);
    const std::u16string destination = base::JoinPath(install_dir, std::u16string(name) + u"\\");
    app::LogFormat(u"Check %s,%s,%s", name, archive_path.c_str(), destination.c_str());
    package::CreatePath(destination.c_str());
    package::ExtractArchiveFile(archive_path.c_str(), destination.c_str(), -1);
  }
}

}  // namespace engine
