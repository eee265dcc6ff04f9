// The installed system's working paths come from the real registry value
// HKLM\Software\NorvClient\InstallPath; what was there before is put back.
#include <gtest/gtest.h>

#include <string>

#include "app/folders.h"
#include "app/suite_key.h"
#include "engine/work_paths.h"
#include "support/saved_registry_value.h"

namespace engine {
namespace {

TEST(DescInstallFolder, InstalledWorkPathsFollowInstallPath) {
  const testing_support::SavedRegistryValue saved(app::kSuiteKey, u"InstallPath");
  ASSERT_TRUE(app::SetInstallPath(u"C:\\Program Files\\Norv"));
  app::ResetInstallDirCacheForTesting();
  const WorkPaths paths = InstalledWorkPaths();
  EXPECT_EQ(paths.InstallDir(), u"C:\\Program Files\\Norv\\");
  EXPECT_EQ(paths.ComposeFilePath(u"Core", ComposeLocation::kInstalled),
            u"C:\\Program Files\\Norv\\Install\\Compose\\Core.out");
  app::ResetInstallDirCacheForTesting();
}

}  // namespace
}  // namespace engine
