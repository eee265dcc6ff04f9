// Shortcuts made for real under Wine: ".lnk" files read back through the shell's own link object
// (not through the code under test), the folder map and folder settings in "desktop.ini", and
// titles that would leave their folder refused.
#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/wizard_state.h"
#include "base/strings.h"
#include "engine/shortcuts.h"
#include "engine_test_util.h"
#include "platform/win/unique_handles.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"

namespace {

using testing_support::Exists;

struct LinkRead {
  bool loaded = false;
  std::u16string target, arguments, description;
};

LinkRead ReadBack(const std::u16string& path) {
  LinkRead read;
  platform::UniqueCom<IShellLinkW> link;
  platform::UniqueCom<IPersistFile> file;
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.put()))) ||
      FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) ||
      FAILED(file.get()->Load(reinterpret_cast<const wchar_t*>(path.c_str()), STGM_READ))) {
    return read;
  }
  wchar_t text[1024] = {};
  link.get()->GetPath(text, MAX_PATH, nullptr, SLGP_RAWPATH);
  read.target = reinterpret_cast<const char16_t*>(text);
  text[0] = 0;
  link.get()->GetArguments(text, 1024);
  read.arguments = reinterpret_cast<const char16_t*>(text);
  text[0] = 0;
  link.get()->GetDescription(text, MAX_PATH);
  read.description = reinterpret_cast<const char16_t*>(text);
  read.loaded = true;
  return read;
}

std::u16string Profile(const std::u16string& file, const char16_t* section, const char16_t* key) {
  wchar_t buffer[260] = {};
  GetPrivateProfileStringW(reinterpret_cast<const wchar_t*>(section), reinterpret_cast<const wchar_t*>(key), L"",
                           buffer, 260, reinterpret_cast<const wchar_t*>(file.c_str()));
  return reinterpret_cast<const char16_t*>(buffer);
}

DWORD Attributes(const std::u16string& path) {
  return GetFileAttributesW(reinterpret_cast<const wchar_t*>(path.c_str()));
}

std::string Lower(const std::u16string& text) { return base::Utf16ToUtf8(base::ToLowerAscii(text)); }

class ShortcutsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    folders_.desktop = scratch_.Join(u"shell\\Desktop");
    folders_.programs = scratch_.Join(u"shell\\Programs");
    package::CreatePath((folders_.desktop + u"\\").c_str());
    package::CreatePath((folders_.programs + u"\\").c_str());
    install_ = scratch_.Join(u"Norv\\");
    targets_.install_dir = install_;
    app::SetCreateDesktopLinks(true);
  }
  void TearDown() override {
    app::SetCreateDesktopLinks(true);
    CoUninitialize();
  }

  // An installed compose "app" (folder "App") with main.exe and, in its own description, the
  // shortcuts given.
  void WriteInstalledCompose(const std::string& shortcut_sections) {
    engine_test::WriteDescription(install_ + u"Install\\Compose\\app.out",
                                  "[Version]\nPath=App\n[HaveSection]\napp=bin\n[bin]\n"
                                  "main.exe=,bin,0,0,0,1,0,0,0,0,,,0,,0,0\n"
                                  "nt6.exe=,bin,0,0,0,1,0,0,0,0,,,0,,0,01000000\n" +
                                      shortcut_sections);
  }

  // The installed product "Suite" with these sections.
  const engine::Product& ProductWith(const std::string& sections) {
    product_ = std::make_unique<engine::Product>(engine::WorkPaths(install_));
    product_->name = u"Suite";
    product_->file_path = install_ + u"Install\\Product\\Suite.out";
    engine_test::WriteDescription(product_->file_path, "[Version]\nCurrentVer=1\n" + sections);
    return *product_;
  }

  std::u16string Desktop(const char16_t* name) const { return folders_.desktop + u"\\" + name; }
  std::u16string Programs(const char16_t* name) const { return folders_.programs + u"\\" + name; }

  testing_support::ScratchDir scratch_;
  engine::ShortcutFolders folders_;
  engine::TargetFolders targets_;
  std::u16string install_;
  std::unique_ptr<engine::Product> product_;
};

const char kProductShortcuts[] =
    "[ShortcutFolder]\ngrp=icons\\suite.ico\n"
    "[Shortcut]\nmain=app-main.exe-x\n"
    "[ShortcutTitle]\ngrp0804=Norv Suite\nmain0804=Norv Client\n"
    "[ShortcutParam]\nmain=-Start /quiet\n"
    "[ShortcutPosition]\nmain=Desktop,Programes\n"
    "[ShortcutParent]\nmain=grp\n";

TEST_F(ShortcutsTest, ProductLinksAndFolderReadBackThroughTheShell) {
  WriteInstalledCompose("");
  const engine::Product& product = ProductWith(kProductShortcuts);
  ASSERT_TRUE(engine::CreateProductShortcuts(product, folders_, targets_));

  // "app-main.exe-x": compose app, file main.exe; the third part is not used.
  for (const std::u16string& link : {Desktop(u"Norv Client.lnk"), Programs(u"Norv Suite\\Norv Client.lnk")}) {
    const LinkRead read = ReadBack(link);
    ASSERT_TRUE(read.loaded) << base::Utf16ToUtf8(link);
    EXPECT_EQ(Lower(read.target), Lower(install_ + u"App\\bin\\main.exe"));
    EXPECT_EQ(read.arguments, u"-Start /quiet");
    EXPECT_EQ(read.description, u"main");
  }
  const std::u16string map = Programs(u"desktop.ini");
  EXPECT_EQ(Profile(map, u"NameTitleMap", u"grp"), u"Norv Suite");
  const std::u16string folder_settings = Programs(u"Norv Suite\\desktop.ini");
  EXPECT_EQ(Profile(folder_settings, u".ShellClassInfo", u"IconFile"), install_ + u"icons\\suite.ico");
  EXPECT_EQ(Profile(folder_settings, u".ShellClassInfo", u"IconIndex"), u"0");
  EXPECT_EQ(Attributes(map) & 0x27, 0x26u);
  EXPECT_EQ(Attributes(folder_settings) & 0x27, 0x26u);
}

TEST_F(ShortcutsTest, RerunWithNewTitlesReplacesLinksByDescriptionAndMovesTheFolder) {
  WriteInstalledCompose("");
  ASSERT_TRUE(engine::CreateProductShortcuts(ProductWith(kProductShortcuts), folders_, targets_));
  std::string renamed = kProductShortcuts;
  renamed.replace(renamed.find("grp0804=Norv Suite"), 18, "grp0804=Norv Tools");
  renamed.replace(renamed.find("main0804=Norv Client"), 20, "main0804=Norv Main");
  ASSERT_TRUE(engine::CreateProductShortcuts(ProductWith(renamed), folders_, targets_));

  EXPECT_FALSE(Exists(Desktop(u"Norv Client.lnk")));
  EXPECT_EQ(ReadBack(Desktop(u"Norv Main.lnk")).description, u"main");
  EXPECT_FALSE(Exists(Programs(u"Norv Suite")));
  EXPECT_FALSE(Exists(Programs(u"Norv Tools\\Norv Client.lnk")));
  EXPECT_EQ(ReadBack(Programs(u"Norv Tools\\Norv Main.lnk")).description, u"main");
  EXPECT_EQ(Profile(Programs(u"desktop.ini"), u"NameTitleMap", u"grp"), u"Norv Tools");
}

TEST_F(ShortcutsTest, DesktopOptionOffMakesOnlyMenuLinksButRemovalStillClearsTheDesktop) {
  WriteInstalledCompose("");
  const engine::Product& product = ProductWith(kProductShortcuts);
  // A link of another id stays through everything.
  ASSERT_TRUE(engine::CreateShortcut(u"C:\\x.exe", {}, Desktop(u"Other.lnk"), {}, u"other", nullptr));

  app::SetCreateDesktopLinks(false);
  ASSERT_TRUE(engine::CreateProductShortcuts(product, folders_, targets_));
  EXPECT_FALSE(Exists(Desktop(u"Norv Client.lnk")));
  EXPECT_TRUE(Exists(Programs(u"Norv Suite\\Norv Client.lnk")));

  app::SetCreateDesktopLinks(true);
  ASSERT_TRUE(engine::CreateProductShortcuts(product, folders_, targets_));
  app::SetCreateDesktopLinks(false);
  ASSERT_TRUE(engine::RemoveProductShortcuts(product, folders_));
  EXPECT_FALSE(Exists(Desktop(u"Norv Client.lnk")));
  EXPECT_FALSE(Exists(Programs(u"Norv Suite")));
  EXPECT_EQ(Profile(Programs(u"desktop.ini"), u"NameTitleMap", u"grp"), u"");
  EXPECT_TRUE(Exists(Desktop(u"Other.lnk")));
}

TEST_F(ShortcutsTest, ComposeLinksFollowPositionParentsAndTheFilesOsMask) {
  WriteInstalledCompose(
      "[Shortcut]\nboth=bin-main.exe\nstart=bin-main.exe\nnoparent=bin-main.exe\nnt6=bin-nt6.exe\n"
      "[ShortcutTitle]\nboth0804=Both\nstart0804=Start\nnoparent0804=No Parent\nnt60804=Nt6\n"
      "[ShortcutPosition]\nboth=desktop+programes\nstart=start\nnoparent=Programes\nnt6=desktop\n"
      "[ShortcutParent]\nboth=,grp,\n");
  ASSERT_TRUE(engine::CreateShortcutFolder(folders_, u"grp", {}, u"Group", install_));
  engine::Compose compose((engine::WorkPaths(install_)));
  compose.SetFilePath(u"app", engine::ComposeLocation::kInstalled);

  ASSERT_TRUE(engine::CreateComposeShortcuts(compose, true, true, folders_, targets_));
  EXPECT_FALSE(Exists(Desktop(u"Both.lnk")));  // an update of a compose installed before

  ASSERT_TRUE(engine::CreateComposeShortcuts(compose, true, false, folders_, targets_));
  EXPECT_EQ(Lower(ReadBack(Desktop(u"Both.lnk")).target), Lower(install_ + u"App\\bin\\main.exe"));
  EXPECT_EQ(ReadBack(Programs(u"Group\\Both.lnk")).description, u"both");
  EXPECT_FALSE(Exists(Desktop(u"Start.lnk")));
  EXPECT_FALSE(Exists(Programs(u"No Parent.lnk")));
  EXPECT_FALSE(Exists(Desktop(u"Nt6.lnk")));  // 64-bit Windows is not NT 6.x only

  ASSERT_TRUE(engine::RemoveComposeShortcuts(compose, folders_));
  EXPECT_FALSE(Exists(Desktop(u"Both.lnk")));
  EXPECT_FALSE(Exists(Programs(u"Group\\Both.lnk")));
  EXPECT_TRUE(Exists(Programs(u"Group")));  // folders belong to the product
}

TEST_F(ShortcutsTest, MissingFolderMapEntryFailsOnlyThatLink) {
  WriteInstalledCompose("");
  std::string sections = kProductShortcuts;
  sections.replace(sections.find("main=grp"), 8, "main=nomap,grp");
  testing_support::LogTail log;
  EXPECT_FALSE(engine::CreateProductShortcuts(ProductWith(sections), folders_, targets_));
  EXPECT_TRUE(Exists(Desktop(u"Norv Client.lnk")));
  EXPECT_TRUE(Exists(Programs(u"Norv Suite\\Norv Client.lnk")));
  EXPECT_NE(log.Text().find("nomap"), std::string::npos);
}

TEST_F(ShortcutsTest, TitlesThatWouldLeaveTheirFolderAreRefused) {
  // Titles of links, of folders, and one planted in the folder map.
  const char16_t* const titles[] = {u"..\\Escaped", u"..", u"sub\\Escaped", u"C:Escaped", u""};
  ASSERT_TRUE(engine::CreateShortcutFolder(folders_, u"grp", {}, u"Group", install_));
  for (const char16_t* title : titles) {
    SCOPED_TRACE(base::Utf16ToUtf8(title));
    testing_support::LogTail log;
    EXPECT_FALSE(engine::CreateDesktopShortcut(folders_, u"C:\\x.exe", {}, title, {}, u"id", nullptr));
    EXPECT_FALSE(engine::CreateProgramsShortcut(folders_, u"C:\\x.exe", {}, title, {}, u"id", u"grp", nullptr));
    EXPECT_FALSE(engine::CreateShortcutFolder(folders_, u"bad", {}, title, install_));
    if (*title) {
      EXPECT_NE(log.Text().find("error, shortcut title leads out of its folder"), std::string::npos);
    }
  }
  EXPECT_FALSE(Exists(scratch_.Join(u"shell\\Escaped.lnk")));
  EXPECT_FALSE(Exists(Programs(u"sub")));
  EXPECT_FALSE(Exists(Desktop(u"sub")));

  // A map that names the programs folder's parent: no link goes there and removal keeps it.
  WritePrivateProfileStringW(L"NameTitleMap", L"planted", L"..", reinterpret_cast<const wchar_t*>(Programs(u"desktop.ini").c_str()));
  EXPECT_FALSE(engine::CreateProgramsShortcut(folders_, u"C:\\x.exe", {}, u"Link", {}, u"id", u"planted", nullptr));
  EXPECT_FALSE(engine::RemoveShortcutFolder(folders_, u"planted", u"Group"));
  EXPECT_FALSE(Exists(Programs(u"Group")));
  EXPECT_TRUE(Exists(folders_.desktop));
  EXPECT_TRUE(Exists(folders_.programs));
}

TEST_F(ShortcutsTest, FailuresAreLoggedWithTheirLines) {
  const std::u16string unsaved = scratch_.Join(u"no folder\\Link.lnk");
  engine::ShortcutFolders no_programs = folders_;
  no_programs.programs.clear();
  engine::ShortcutFolders missing_programs = folders_;
  missing_programs.programs = scratch_.Join(u"missing\\Programs");
  const struct {
    std::function<bool()> call;
    std::string line;
  } cases[] = {
      {[&] { return engine::CreateShortcut(u"C:\\x.exe", {}, unsaved, {}, u"id", nullptr); },
       "error, CreateShortcut file=" + base::Utf16ToUtf8(unsaved)},
      {[&] { return engine::CreateShortcutFolder(no_programs, u"grp", {}, u"Group", install_); },
       "error , GetProgramsDirectory error lpTitle=Group"},
      {[&] { return engine::RemoveShortcutFolder(no_programs, u"grp", u"Group"); },
       "error , GetProgramsDirectory error lpTitle=Group"},
      {[&] { return engine::CreateShortcutFolder(missing_programs, u"grp", {}, u"Group", install_); },
       "error,shortcut folder create directory :" + base::Utf16ToUtf8(missing_programs.programs) + "\\Group"},
  };
  for (const auto& c : cases) {
    testing_support::LogTail log;
    EXPECT_FALSE(c.call());
    EXPECT_NE(log.Text().find(c.line), std::string::npos) << c.line;
  }
  EXPECT_FALSE(engine::CreateShortcut(nullptr, {}, Desktop(u"Null.lnk"), {}, u"id", nullptr));
  EXPECT_FALSE(Exists(Desktop(u"Null.lnk")));
}

TEST_F(ShortcutsTest, ChineseFolderTitleRoundTripsThroughTheMap) {
  ASSERT_TRUE(engine::CreateShortcutFolder(folders_, u"grp", {}, u"诺维客户端", install_));
  EXPECT_EQ(Profile(Programs(u"desktop.ini"), u"NameTitleMap", u"grp"), u"诺维客户端");
  ASSERT_TRUE(engine::CreateProgramsShortcut(folders_, u"C:\\x.exe", {}, u"启动", {}, u"id", u"grp", nullptr));
  EXPECT_EQ(ReadBack(Programs(u"诺维客户端\\启动.lnk")).description, u"id");
  ASSERT_TRUE(engine::RemoveShortcutFolder(folders_, u"grp", u"诺维客户端"));
  EXPECT_FALSE(Exists(Programs(u"诺维客户端")));
}

TEST(ShortcutSystemFoldersTest, DesktopAndProgramsOfTheRunningSystemExist) {
  const engine::ShortcutFolders folders = engine::SystemShortcutFolders();
  EXPECT_TRUE(platform::IsDirectory(folders.desktop)) << base::Utf16ToUtf8(folders.desktop);
  EXPECT_TRUE(platform::IsDirectory(folders.programs)) << base::Utf16ToUtf8(folders.programs);
}

}  // namespace
