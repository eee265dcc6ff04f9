// The installed state: the lists in install.ini and update.ini (bytes on disk after each
// operation), which composes an uninstall may remove while other installed products still list
// them, and removing a compose's installed state, folder and description, and never more.
#include <gtest/gtest.h>

#include <string>

#include "engine/compose_removal.h"
#include "engine/compose_usage.h"
#include "engine/local_install.h"
#include "engine/work_paths.h"
#include "engine_test_util.h"
#include "support/scratch_dir.h"

namespace {

using engine::LocalInstallPtr;
using testing_support::Exists;
using engine_test::ReadUtf16File;
using engine_test::WriteUtf16File;

class LocalInstallTest : public ::testing::Test {
 protected:
  LocalInstallPtr Store() { return LocalInstallPtr(engine::CreateLocalInstall(paths_)); }

  testing_support::ScratchDir dir_;
  engine::WorkPaths paths_{dir_.path()};
  std::u16string install_ini_ = paths_.InstallDir(u"Install\\install.ini");
  std::u16string update_ini_ = paths_.InstallDir(u"Install\\update.ini");
};

TEST_F(LocalInstallTest, AddedNamesAreListedOnceWithoutRegardToCase) {
  {
    LocalInstallPtr store = Store();
    EXPECT_EQ(store->GetInstalledProducts(), u"");
    EXPECT_FALSE(store->AddInstalledCompose(u""));
    EXPECT_FALSE(Exists(install_ini_));
    for (const char16_t* name : {u"ABC", u"abc", u"Def"}) EXPECT_TRUE(store->AddInstalledCompose(name));
    for (const char16_t* name : {u"P1", u"p1"}) EXPECT_TRUE(store->AddInstalledProduct(name));
  }
  // The first write makes the Install folder and a UTF-16 file.
  EXPECT_EQ(testing_support::ReadBytes(install_ini_)[0], 0xFF);
  EXPECT_EQ(ReadUtf16File(install_ini_),
            "[InstallCompose]\r\nComposeList=ABC,Def\r\n\r\n[InstallProduct]\r\nProductList=P1\r\n\r\n");
  EXPECT_EQ(Store()->GetInstalledComposes(), u"ABC,Def");
  EXPECT_TRUE(engine::IsComposeInstalled(paths_, u"def"));
  EXPECT_FALSE(engine::IsComposeInstalled(paths_, u"De"));
}

TEST_F(LocalInstallTest, RemovalDropsEmptyItemsAndRewritesOnlyOnAChange) {
  const std::string seeded = "[InstallProduct]\r\nProductList=A,,B,C\r\n[InstallCompose]\r\nComposeList=X,,b,Y\r\n";
  WriteUtf16File(install_ini_, seeded);
  WriteUtf16File(update_ini_, "[Update]\nComposes=b,Y\n");
  LocalInstallPtr store = Store();
  EXPECT_TRUE(store->RemoveInstalledProduct(u"Z"));
  EXPECT_EQ(ReadUtf16File(install_ini_), seeded);  // not rewritten
  EXPECT_TRUE(store->RemoveInstalledProduct(u"b"));
  EXPECT_EQ(store->GetInstalledProducts(), u"A,C");
  EXPECT_TRUE(store->RemoveInstalledCompose(u"B"));  // it leaves the update list too
  EXPECT_EQ(ReadUtf16File(install_ini_),
            "[InstallProduct]\r\nProductList=A,C\r\n\r\n[InstallCompose]\r\nComposeList=X,Y\r\n\r\n");
  EXPECT_EQ(ReadUtf16File(update_ini_), "[Update]\r\nComposes=Y\r\n\r\n");
}

TEST_F(LocalInstallTest, UpdateListStartsFromTheInstalledComposesAndWritesOnlyRealChanges) {
  WriteUtf16File(install_ini_, "[InstallCompose]\nComposeList=A,B\n");
  LocalInstallPtr store = Store();
  EXPECT_EQ(store->GetUpdateComposes(), u"A,B");
  EXPECT_TRUE(store->AddUpdateComposes(u"X"));
  EXPECT_EQ(ReadUtf16File(update_ini_), "[Update]\r\nComposes=A,B,X\r\n\r\n");
  EXPECT_FALSE(store->AddUpdateComposes(u"x,a"));  // nothing new

  const std::string seeded = "[Update]\r\nComposes=Alpha,Beta\r\n";
  WriteUtf16File(update_ini_, seeded);
  store = Store();
  EXPECT_TRUE(store->SetUpdateComposes(u"ALPHA,beta"));
  EXPECT_EQ(ReadUtf16File(update_ini_), seeded);
  EXPECT_TRUE(store->SetUpdateComposes(u"Alpha"));
  EXPECT_EQ(ReadUtf16File(update_ini_), "[Update]\r\nComposes=Alpha\r\n\r\n");
}

TEST_F(LocalInstallTest, LanguageGroups) {
  WriteUtf16File(install_ini_, "[InstallCompose]\nComposeList=Lang,Main\n");
  LocalInstallPtr store = Store();
  EXPECT_TRUE(store->AddLangGroups(u"Lang,,Ext"));
  EXPECT_FALSE(store->AddLangGroups(u"lang"));
  EXPECT_EQ(store->GetLangGroups(), u"Lang,Ext");
  EXPECT_TRUE(store->RemoveLangGroups(u"LANG,Other"));
  EXPECT_EQ(ReadUtf16File(install_ini_), "[InstallCompose]\r\nComposeList=Lang,Main\r\nLangGroup=Ext\r\n\r\n");
  // The update list had none of its own: it now holds the installed composes without the group.
  EXPECT_EQ(ReadUtf16File(update_ini_), "[Update]\r\nComposes=Main\r\n\r\n");
}

TEST_F(LocalInstallTest, StoresSeeEachOthersWritesOnlyWhenLoadedAfterThem) {
  LocalInstallPtr first = Store();
  LocalInstallPtr second = Store();
  EXPECT_TRUE(first->AddInstalledProduct(u"P"));
  EXPECT_EQ(second->GetInstalledProducts(), u"");
  EXPECT_TRUE(second->LoadInstallList());
  EXPECT_EQ(second->GetInstalledProducts(), u"P");
}

TEST_F(LocalInstallTest, FailedSavesAreReported) {
  // A file where the Install folder should be: nothing can be written under it.
  testing_support::WriteText(dir_.Join(u"Install"), "not a folder");
  LocalInstallPtr store = Store();
  EXPECT_FALSE(store->AddInstalledProduct(u"P"));
  EXPECT_TRUE(store->AddInstalledCompose(u"C"));  // reports only bad names
  EXPECT_FALSE(store->RemoveInstalledCompose(u"C"));
  EXPECT_FALSE(store->SetUpdateComposes(u"X"));
  EXPECT_FALSE(store->AddLangGroups(u"L"));
}

void WriteProduct(const engine::WorkPaths& paths, const char16_t* name, const std::string& composes) {
  engine_test::WriteUtf16File(paths.ProductFilePath(name), "[Version]\nProductID=1\n[HaveCompose]\nAll=" + composes +
                                                              "\n[Shared]\nType=1\n[Plain]\nType=0\n[Own]\nType=1\n");
}

TEST_F(LocalInstallTest, UsageKeepsTypeOneComposesThatTwoInstalledProductsList) {
  WriteProduct(paths_, u"First", "Shared,Plain,Own");
  WriteProduct(paths_, u"Second", "shared,Plain");
  LocalInstallPtr store = Store();

  // One installed product: everything may go.
  store->AddInstalledProduct(u"First");
  engine::ComposeUsage usage;
  usage.Build(store.get(), paths_);
  EXPECT_TRUE(usage.MayRemove(u"Shared"));

  store->AddInstalledProduct(u"Second");
  usage.Build(store.get(), paths_);
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
