// Uninstalling composes: which ones other installed products still need, and removing a compose's
// installed state, folder and description, and never more than that.
#include <gtest/gtest.h>

#include <string>

#include "engine/compose_removal.h"
#include "engine/compose_usage.h"
#include "engine/local_install.h"
#include "engine_test_util.h"
#include "support/scratch_dir.h"

namespace {

using testing_support::Exists;

void WriteProduct(const engine::WorkPaths& paths, const char16_t* name, const std::string& composes) {
  engine_test::WriteUtf16File(paths.ProductFilePath(name), "[Version]\nProductID=1\n[HaveCompose]\nAll=" + composes +
                                                              "\n[Shared]\nType=1\n[Plain]\nType=0\n[Own]\nType=1\n");
}

TEST(ComposeUsageTest, KeepsTypeOneComposesThatTwoInstalledProductsList) {
  testing_support::ScratchDir dir;
  const engine::WorkPaths paths(dir.path());
  WriteProduct(paths, u"First", "Shared,Plain,Own");
  WriteProduct(paths, u"Second", "shared,Plain");
  engine::LocalInstallPtr store(engine::CreateLocalInstall(paths));

  // One installed product: everything may go.
  store->AddInstalledProduct(u"First");
  engine::ComposeUsage usage;
  usage.Build(store.get(), paths);
  EXPECT_TRUE(usage.MayRemove(u"Shared"));

  store->AddInstalledProduct(u"Second");
  usage.Build(store.get(), paths);
  EXPECT_FALSE(usage.MayRemove(u"SHARED"));  // names compare without regard to case
  EXPECT_TRUE(usage.MayRemove(u"Plain"));    // Type 0 has no row
  EXPECT_TRUE(usage.MayRemove(u"Own"));      // listed once
  EXPECT_TRUE(usage.MayRemove(u"Unknown"));
}

TEST(RemoveComposeStateTest, DeletesOnlyAFolderStrictlyInsideTheInstallFolder) {
  struct Case {
    const char* path_line;  // the description's [Version] Path line
    const char16_t* gone;   // the folder deleted, if any; its parents stay
    bool null_name = false;  // then nothing at all changes
  } cases[] = {
      {"Path=CoreDir\n", u"CoreDir"},
      {"Path=CoreDir\\Sub\n", u"CoreDir\\Sub"},
      {"Path=\n", nullptr},             // the compose's folder is the install folder itself
      {"Path=..\\Outside\n", nullptr},  // leads out: no folder is known
      {"", nullptr},                    // no Path at all
      {"Path=CoreDir\n", nullptr, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.path_line);
    testing_support::ScratchDir dir;
    const engine::WorkPaths paths(dir.path());
    const std::u16string description = paths.ComposeFilePath(u"Core", engine::ComposeLocation::kInstalled);
    engine_test::WriteUtf16File(description, std::string("[Version]\n") + c.path_line);
    engine_test::WriteUtf16File(paths.InstallDir(u"CoreDir\\Sub\\a.txt"), "a");
    engine_test::WriteUtf16File(paths.InstallDir(u"kept.txt"), "k");
    engine::LocalInstallPtr store(engine::CreateLocalInstall(paths));
    store->AddInstalledCompose(u"Core");
    store->AddInstalledCompose(u"Other");

    engine::RemoveComposeState(store.get(), paths, c.null_name ? nullptr : u"Core");
    if (c.gone) {
      EXPECT_FALSE(Exists(paths.InstallDir(c.gone)));
    }
    EXPECT_EQ(Exists(paths.InstallDir(u"CoreDir\\Sub\\a.txt")), c.gone == nullptr);
    EXPECT_TRUE(Exists(paths.InstallDir(u"kept.txt")));
    EXPECT_EQ(Exists(description), c.null_name);
    EXPECT_EQ(engine::IsComposeInstalled(paths, u"Core"), c.null_name);
    EXPECT_TRUE(engine::IsComposeInstalled(paths, u"Other"));
  }
}

}  // namespace
