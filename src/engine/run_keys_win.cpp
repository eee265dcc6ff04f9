#include "engine/run_keys.h"

#include "platform/registry.h"

namespace engine {
namespace {

constexpr char16_t kRunKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char16_t kRunOnceKey[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";

struct RunKey {
  uint32_t flag;
  platform::RegRoot root;
  const char16_t* subkey;
};

constexpr RunKey kRunKeys[] = {
    {kFileRunUser, platform::RegRoot::kCurrentUser, kRunKey},
    {kFileRunMachine, platform::RegRoot::kLocalMachine, kRunKey},
    {kFileRunOnceUser, platform::RegRoot::kCurrentUser, kRunOnceKey},
    {kFileRunOnceMachine, platform::RegRoot::kLocalMachine, kRunOnceKey},
};

}  // namespace

uint32_t UpdateRunKeys(const FileEntryList& files) {
  for (const FileEntry& entry : files) {
    for (const RunKey& run : kRunKeys) {
      if ((entry.flags & run.flag) == 0) continue;
      platform::RegKey key;
      if (platform::RegKey::Open(run.root, run.subkey, platform::RegAccess::kReadWrite, &key) != platform::kRegOk) {
        continue;
      }
      if (entry.state == FileState::kRemoved) {
        key.DeleteValue(entry.file_name);
      } else {
        key.WriteString(entry.file_name, entry.full_path);
      }
    }
  }
  return 0;
}

}  // namespace engine
