// The installed system's working paths come from the real registry value
// HKLM\Software\NorvClient\InstallPath; what was there before is put back.
#include <gtest/gtest.h>

#include <string>

#include "app/folders.h"
#include "engine/work_paths.h"
#include "platform/registry.h"

namespace engine {
namespace {

TEST(DescInstallFolder, InstalledWorkPathsFollowInstallPath) {
  platform::RegKey key;
  ASSERT_EQ(platform::RegKey::Create(platform::RegRoot::kLocalMachine, u"Software\\NorvClient",
                                     platform::RegAccess::kReadWrite, &key),
            platform::kRegOk);
  std::u16string previous;
  const bool had_value = key.ReadString(u"InstallPath", 522, platform::RegStringCheck::kAnyData, &previous) ==
                         platform::kRegOk;

  ASSERT_TRUE(app::SetInstallPath(u"C:\\Program Files\\Norv"));
  app::ResetInstallDirCacheForTesting();
  const WorkPaths paths = InstalledWorkPaths();
  EXPECT_EQ(paths.InstallDir(), u"C:\\Program Files\\Norv\\");
  EXPECT_EQ(paths.ComposeFilePath(u"Core", ComposeLocation::kInstalled),
            u"C:\\Program Files\\Norv\\Install\\Compose\\Core.out");

  if (had_value) {
    key.WriteString(u"InstallPath", previous);
  } else {
    key.DeleteValue(u"InstallPath");
  }
  app::ResetInstallDirCacheForTesting();
}

}  // namespace
}  // namespace engine
