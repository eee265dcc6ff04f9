// The installed-state lists in install.ini and update.ini: bytes on disk after each operation.
#include <gtest/gtest.h>

#include <string>

#include "engine/local_install.h"
#include "engine/work_paths.h"
#include "support/scratch_dir.h"
#include "engine_test_util.h"

namespace {

using engine::CreateLocalInstall;
using engine::LocalInstallPtr;
using engine_test::ReadUtf16File;
using engine_test::WriteUtf16File;
using testing_support::Exists;

class LocalInstallTest : public ::testing::Test {
 protected:
  LocalInstallTest() : paths_(dir_.path()) {}

  LocalInstallPtr Store() { return LocalInstallPtr(CreateLocalInstall(paths_)); }
  std::u16string InstallIni() const { return paths_.InstallDir(u"Install\\install.ini"); }
  std::u16string UpdateIni() const { return paths_.InstallDir(u"Install\\update.ini"); }
  testing_support::ScratchDir dir_;
  engine::WorkPaths paths_;
};

TEST_F(LocalInstallTest, FirstProductCreatesTheInstallFolderAndFile) {
  LocalInstallPtr store = Store();
  ASSERT_TRUE(store);
  EXPECT_EQ(store->GetInstalledProducts(), u"");
  EXPECT_TRUE(store->AddInstalledProduct(u"NorvClient"));
  const std::vector<unsigned char> bytes = testing_support::ReadBytes(InstallIni());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_EQ(bytes[0], 0xFF);
  EXPECT_EQ(bytes[1], 0xFE);
  EXPECT_EQ(ReadUtf16File(InstallIni()), "[InstallProduct]\r\nProductList=NorvClient\r\n\r\n");
}

TEST_F(LocalInstallTest, AddedNamesAreListedOnceWithoutRegardToCase) {
  {
    LocalInstallPtr store = Store();
    EXPECT_TRUE(store->AddInstalledCompose(u"ABC"));
    EXPECT_TRUE(store->AddInstalledCompose(u"abc"));
    EXPECT_TRUE(store->AddInstalledCompose(u"Def"));
    EXPECT_TRUE(store->AddInstalledProduct(u"P1"));
    EXPECT_TRUE(store->AddInstalledProduct(u"p1"));
  }
  EXPECT_EQ(ReadUtf16File(InstallIni()),
            "[InstallCompose]\r\nComposeList=ABC,Def\r\n\r\n[InstallProduct]\r\nProductList=P1\r\n\r\n");
  EXPECT_EQ(Store()->GetInstalledComposes(), u"ABC,Def");
  EXPECT_TRUE(engine::IsComposeInstalled(paths_, u"def"));
  EXPECT_FALSE(engine::IsComposeInstalled(paths_, u"De"));
  EXPECT_FALSE(engine::IsComposeInstalled(paths_, nullptr));
}

TEST_F(LocalInstallTest, NullOrEmptyNamesChangeNothing) {
  LocalInstallPtr store = Store();
  EXPECT_FALSE(store->AddInstalledCompose(nullptr));
  EXPECT_FALSE(store->AddInstalledCompose(u""));
  EXPECT_FALSE(store->AddInstalledProduct(u""));
  EXPECT_FALSE(store->RemoveInstalledCompose(nullptr));
  EXPECT_FALSE(store->RemoveInstalledProduct(u""));
  EXPECT_FALSE(store->AddLangGroups(nullptr));
  EXPECT_FALSE(store->SetUpdateComposes(nullptr));
  EXPECT_FALSE(Exists(InstallIni()));
  EXPECT_FALSE(Exists(UpdateIni()));
}

TEST_F(LocalInstallTest, RemovalDropsEmptyItems) {
  WriteUtf16File(InstallIni(), "[InstallProduct]\nProductList=A,,B,C\n[InstallCompose]\nComposeList=X,,b,Y\n");
  LocalInstallPtr store = Store();
  EXPECT_TRUE(store->RemoveInstalledProduct(u"b"));
  EXPECT_EQ(store->GetInstalledProducts(), u"A,C");
  EXPECT_TRUE(store->RemoveInstalledCompose(u"B"));
  EXPECT_EQ(store->GetInstalledComposes(), u"X,Y");
  EXPECT_EQ(ReadUtf16File(InstallIni()),
            "[InstallProduct]\r\nProductList=A,C\r\n\r\n[InstallCompose]\r\nComposeList=X,Y\r\n\r\n");
}

TEST_F(LocalInstallTest, RemovingAnAbsentProductLeavesTheFileUntouched) {
  const std::string seeded = "[InstallProduct]\nProductList=A,B\n";
  WriteUtf16File(InstallIni(), seeded);
  EXPECT_TRUE(Store()->RemoveInstalledProduct(u"Z"));
  EXPECT_EQ(ReadUtf16File(InstallIni()), seeded);  // not rewritten: LF lines stay
}

TEST_F(LocalInstallTest, UpdateListStartsFromTheInstalledComposes) {
  WriteUtf16File(InstallIni(), "[InstallCompose]\nComposeList=A,B\n");
  LocalInstallPtr store = Store();
  EXPECT_FALSE(Exists(UpdateIni()));
  EXPECT_EQ(store->GetUpdateComposes(), u"A,B");
  EXPECT_TRUE(store->AddUpdateComposes(u"X"));
  EXPECT_EQ(ReadUtf16File(UpdateIni()), "[Update]\r\nComposes=A,B,X\r\n\r\n");
  EXPECT_FALSE(store->AddUpdateComposes(u"x,a"));  // nothing new
  EXPECT_EQ(store->GetUpdateComposes(), u"A,B,X");
}

TEST_F(LocalInstallTest, SetUpdateComposesWritesOnlyRealChanges) {
  const std::string seeded = "[Update]\nComposes=Alpha,Beta\n";
  WriteUtf16File(UpdateIni(), seeded);
  LocalInstallPtr store = Store();
  EXPECT_TRUE(store->SetUpdateComposes(u"ALPHA,beta"));
  EXPECT_EQ(ReadUtf16File(UpdateIni()), seeded);
  EXPECT_TRUE(store->SetUpdateComposes(u"Alpha"));
  EXPECT_EQ(ReadUtf16File(UpdateIni()), "[Update]\r\nComposes=Alpha\r\n\r\n");
}

TEST_F(LocalInstallTest, RemovedComposeLeavesTheUpdateListToo) {
  WriteUtf16File(InstallIni(), "[InstallCompose]\nComposeList=A,B,C\n");
  WriteUtf16File(UpdateIni(), "[Update]\nComposes=B,C\n");
  EXPECT_TRUE(Store()->RemoveInstalledCompose(u"c"));
  EXPECT_EQ(ReadUtf16File(UpdateIni()), "[Update]\r\nComposes=B\r\n\r\n");
  EXPECT_EQ(ReadUtf16File(InstallIni()), "[InstallCompose]\r\nComposeList=A,B\r\n\r\n");
}

TEST_F(LocalInstallTest, LanguageGroups) {
  WriteUtf16File(InstallIni(), "[InstallCompose]\nComposeList=Lang,Main\n");
  LocalInstallPtr store = Store();
  EXPECT_TRUE(store->AddLangGroups(u"Lang,,Ext"));
  EXPECT_FALSE(store->AddLangGroups(u"lang"));
  EXPECT_EQ(store->GetLangGroups(), u"Lang,Ext");
  EXPECT_TRUE(store->RemoveLangGroups(u"LANG,Other"));
  EXPECT_EQ(ReadUtf16File(InstallIni()), "[InstallCompose]\r\nComposeList=Lang,Main\r\nLangGroup=Ext\r\n\r\n");
  // The update list had none of its own: it now holds the installed composes without the group.
  EXPECT_EQ(ReadUtf16File(UpdateIni()), "[Update]\r\nComposes=Main\r\n\r\n");
  // Removing what is not there still saves and succeeds.
  EXPECT_TRUE(store->RemoveLangGroups(u"Nothing"));
  EXPECT_EQ(store->GetLangGroups(), u"Ext");
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

}  // namespace
