#include "app/log.h"
#include "base/format.h"
#include "engine/component_control.h"
#include "engine/compose_removal.h"
#include "engine/pe_machine.h"
#include "platform/system.h"

namespace engine {

void UninstallComposeDll(const Compose& compose, const TargetFolders& folders, bool* restart_needed) {
  const app::IniSection* section = compose.ini.FindSection(u"Uninstall");
  if (!section) return;
  for (size_t i = 0; i < section->EntryCount(); ++i) {
    const app::IniEntry* item = section->EntryAt(i);
    FileEntry dll;  // an entry without destination folder: {I}{Path}\{file}
    dll.file_name = item->Key();
    dll.compose_name = compose.name;
    dll.compose_folder = compose.folder;
    const std::u16string path = FileTargetPath(dll, folders);
    const std::u16string entry_name = item->Value().empty() ? std::u16string(u"UnInstall") : item->Value();
    if (!path.empty() && ReadFileMachine(path) == kPeMachineX86) {
      app::LogFormat(u"msg , uninstall compose dll %s is a 32-bit dll, passed over", path.c_str());
      continue;
    }
    int32_t result = 0;
    uint32_t error = 0;
    const LibraryCall call = path.empty() || !IsInTrustedFolder(path, folders)
                                 ? LibraryCall::kLoadFailed
                                 : CallLibraryEntry(path, platform::ToAnsi(entry_name).c_str(), &result, &error);
    switch (call) {
      case LibraryCall::kLoadFailed:
        app::LogFormat(u"waring: uninstall compose dll %s LoadLibraryEx error!", path.c_str());
        break;
      case LibraryCall::kNoEntry:
        app::LogFormat(u"error , uninstall compose dll path=%s , GetProcAddress is null, function name=%s ",
                       path.c_str(), entry_name.c_str());
        break;
      case LibraryCall::kFaulted:
        app::LogText(u"catch error UninstallDll", error);
        break;
      case LibraryCall::kReturned:
        app::LogFormat(u"msg , uninstall compose dll call %s ok,restart=%d ", path.c_str(), result);
        if (result != 0) *restart_needed = true;
        break;
    }
  }
}

}  // namespace engine
