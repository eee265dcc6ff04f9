// Which composes an uninstall may remove while other installed products still list them.
#include <gtest/gtest.h>

#include "engine/compose_usage.h"
#include "engine_test_util.h"

namespace {

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

}  // namespace
