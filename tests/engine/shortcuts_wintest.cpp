// Shortcuts made for real under Wine: links read back through the shell's own link object (not
// through the code under test), the folder map and folder settings in "desktop.ini"; and the
// running system's folders (Wine, 64-bit prefix) for links and target paths: 64-bit system files
// go to the real system folder, other "$SYSTEM32" files to the 32-bit one, and the environment
// form reads the process environment.
#include <windows.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "app/wizard_state.h"
#include "base/strings.h"
#include "engine/shortcuts.h"
#include "engine/target_path.h"
#include "engine_test_util.h"
#include "platform/fs.h"
#include "platform/system.h"
#include "platform/win/unique_handles.h"
#include "support/log_tail.h"

namespace {

using testing_support::Exists;
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// "target|arguments|description" of a link, empty when it cannot be loaded.
std::u16string ReadBack(const std::u16string& path) {
  platform::UniqueCom<IShellLinkW> link;
  platform::UniqueCom<IPersistFile> file;
  wchar_t target[MAX_PATH] = {}, arguments[1024] = {}, description[MAX_PATH] = {};
  if (FAILED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                              reinterpret_cast<void**>(link.put()))) ||
      FAILED(link.get()->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(file.put()))) ||
      FAILED(file.get()->Load(W(path), STGM_READ))) {
    return u"";
  }
  link.get()->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH);
  link.get()->GetArguments(arguments, 1024);
  link.get()->GetDescription(description, MAX_PATH);
  const auto u = [](const wchar_t* s) { return std::u16string(reinterpret_cast<const char16_t*>(s)); };
  return base::ToLowerAscii(u(target)) + u"|" + u(arguments) + u"|" + u(description);
}

std::u16string Profile(const std::u16string& file, const char16_t* section, const char16_t* key) {
  wchar_t buffer[260] = {};
  GetPrivateProfileStringW(W(section), W(key), L"", buffer, 260, W(file));
  return reinterpret_cast<const char16_t*>(buffer);
}

class ShortcutsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    folders_ = {scratch_.Join(u"shell\\Desktop"), scratch_.Join(u"shell\\Programs")};
    package::CreatePath((folders_.desktop + u"\\").c_str());
    package::CreatePath((folders_.programs + u"\\").c_str());
    targets_.install_dir = install_;
    // An installed compose "app" in folder "App": main.exe, and nt6.exe for NT 6.x only.
    engine_test::WriteUtf16File(install_ + u"Install\\Compose\\app.out",
                                  "[Version]\nPath=App\n[HaveSection]\napp=bin\n[bin]\n"
                                  "main.exe=,bin,0,0,0,1,0,0,0,0,,,0,,0,0\n"
                                  "nt6.exe=,bin,0,0,0,1,0,0,0,0,,,0,,0,01000000\n" + compose_shortcuts_);
  }
  void TearDown() override { app::SetCreateDesktopLinks(true); CoUninitialize(); }

  // The installed product "Suite" with these sections.
  const engine::Product& ProductWith(const std::string& sections) {
    product_ = std::make_unique<engine::Product>(engine::WorkPaths(install_));
    product_->file_path = install_ + u"Install\\Product\\Suite.out";
    engine_test::WriteUtf16File(product_->file_path, sections);
    return *product_;
  }
  std::u16string Desktop(const char16_t* name) const { return folders_.desktop + u"\\" + name; }
  std::u16string Programs(const char16_t* name) const { return folders_.programs + u"\\" + name; }
  std::u16string MainLink(const char16_t* arguments, const char16_t* id) const {
    return base::ToLowerAscii(install_ + u"App\\bin\\main.exe") + u"|" + arguments + u"|" + id;
  }

  testing_support::ScratchDir scratch_;
  std::u16string install_ = scratch_.Join(u"Norv\\");
  std::string compose_shortcuts_ =
      "[Shortcut]\nboth=bin-main.exe\nstart=bin-main.exe\nnoparent=bin-main.exe\nnt6=bin-nt6.exe\n"
      "[ShortcutTitle]\nboth0804=Both\nstart0804=Start\nnoparent0804=No Parent\nnt60804=Nt6\n"
      "[ShortcutPosition]\nboth=desktop+programes\nstart=start\nnoparent=Programes\nnt6=desktop\n"
      "[ShortcutParent]\nboth=,grp,\n";
  engine::ShortcutFolders folders_;
  engine::TargetFolders targets_;
  std::unique_ptr<engine::Product> product_;
};

// "app-main.exe-x": compose app, file main.exe; the third part is not used.
const char kProduct[] =
    "[ShortcutFolder]\ngrp=icons\\suite.ico\n[Shortcut]\nmain=app-main.exe-x\n"
    "[ShortcutTitle]\ngrp0804=诺维套件\nmain0804=Norv Client\n[ShortcutParam]\nmain=-Start /quiet\n"
    "[ShortcutPosition]\nmain=Desktop,Programes\n[ShortcutParent]\nmain=grp\n";

TEST_F(ShortcutsTest, ProductLinksFolderAndMapThenRenamedThenRemoved) {
  ASSERT_TRUE(engine::CreateProductShortcuts(ProductWith(kProduct), folders_, targets_));
  EXPECT_EQ(ReadBack(Desktop(u"Norv Client.lnk")), MainLink(u"-Start /quiet", u"main"));
  EXPECT_EQ(ReadBack(Programs(u"诺维套件\\Norv Client.lnk")), MainLink(u"-Start /quiet", u"main"));
  const std::u16string map = Programs(u"desktop.ini"), settings = Programs(u"诺维套件\\desktop.ini");
  EXPECT_EQ(Profile(map, u"NameTitleMap", u"grp"), u"诺维套件");
  EXPECT_EQ(Profile(settings, u".ShellClassInfo", u"IconFile"), install_ + u"icons\\suite.ico");
  EXPECT_EQ(Profile(settings, u".ShellClassInfo", u"IconIndex"), u"0");
  EXPECT_EQ(GetFileAttributesW(W(map)) & 0x27, 0x26u);
  EXPECT_EQ(GetFileAttributesW(W(settings)) & 0x27, 0x26u);

  // New titles (the map is UTF-16, so Chinese titles survive any code page): the old links are found by their description, the folder moves with its title.
  std::string renamed = kProduct;
  renamed.replace(renamed.find("诺维套件"), 12, "诺维工具");  // 4 characters, 12 bytes
  renamed.replace(renamed.find("Norv Client"), 11, "Norv Main");
  const engine::Product& product = ProductWith(renamed);
  ASSERT_TRUE(engine::CreateShortcut(u"C:\\x.exe", {}, Desktop(u"Other.lnk"), {}, u"other", nullptr));
  ASSERT_TRUE(engine::CreateProductShortcuts(product, folders_, targets_));
  EXPECT_FALSE(Exists(Desktop(u"Norv Client.lnk")));
  EXPECT_FALSE(Exists(Programs(u"诺维套件")));
  EXPECT_FALSE(Exists(Programs(u"诺维工具\\Norv Client.lnk")));
  EXPECT_EQ(ReadBack(Programs(u"诺维工具\\Norv Main.lnk")), MainLink(u"-Start /quiet", u"main"));
  EXPECT_EQ(Profile(map, u"NameTitleMap", u"grp"), u"诺维工具");

  // Removal deletes desktop links even with the desktop option off; other ids stay.
  app::SetCreateDesktopLinks(false);
  ASSERT_TRUE(engine::RemoveProductShortcuts(product, folders_));
  EXPECT_FALSE(Exists(Desktop(u"Norv Main.lnk")));
  EXPECT_FALSE(Exists(Programs(u"诺维工具")));
  EXPECT_EQ(Profile(map, u"NameTitleMap", u"grp"), u"");
  EXPECT_TRUE(Exists(Desktop(u"Other.lnk")));
  // With the option off only menu links are made.
  ASSERT_TRUE(engine::CreateProductShortcuts(product, folders_, targets_));
  EXPECT_FALSE(Exists(Desktop(u"Norv Main.lnk")));
  EXPECT_TRUE(Exists(Programs(u"诺维工具\\Norv Main.lnk")));
}

TEST_F(ShortcutsTest, ComposeLinksFollowPositionParentsAndTheFilesOsMask) {
  ASSERT_TRUE(engine::CreateShortcutFolder(folders_, u"grp", {}, u"Group", install_));
  engine::Compose compose((engine::WorkPaths(install_)));
  compose.SetFilePath(u"app", engine::ComposeLocation::kInstalled);
  ASSERT_TRUE(engine::CreateComposeShortcuts(compose, true, true, folders_, targets_));
  EXPECT_FALSE(Exists(Desktop(u"Both.lnk")));  // an update of a compose installed before

  ASSERT_TRUE(engine::CreateComposeShortcuts(compose, true, false, folders_, targets_));
  EXPECT_EQ(ReadBack(Desktop(u"Both.lnk")), MainLink(u"", u"both"));
  EXPECT_EQ(ReadBack(Programs(u"Group\\Both.lnk")), MainLink(u"", u"both"));
  EXPECT_FALSE(Exists(Desktop(u"Start.lnk")));
  EXPECT_FALSE(Exists(Programs(u"No Parent.lnk")));
  EXPECT_FALSE(Exists(Desktop(u"Nt6.lnk")));  // 64-bit Windows is not NT 6.x only

  ASSERT_TRUE(engine::RemoveComposeShortcuts(compose, folders_));
  EXPECT_FALSE(Exists(Desktop(u"Both.lnk")));
  EXPECT_FALSE(Exists(Programs(u"Group\\Both.lnk")));
  EXPECT_TRUE(Exists(Programs(u"Group")));  // folders belong to the product
}

TEST_F(ShortcutsTest, TitlesThatWouldLeaveTheirFolderAreRefused) {
  ASSERT_TRUE(engine::CreateShortcutFolder(folders_, u"grp", {}, u"Group", install_));
  for (const char16_t* title : {u"..\\Escaped", u"..", u"sub\\Escaped", u"C:Escaped", u""}) {
    SCOPED_TRACE(base::Utf16ToUtf8(title));
    EXPECT_FALSE(engine::CreateDesktopShortcut(folders_, u"C:\\x.exe", {}, title, {}, u"id", nullptr));
    EXPECT_FALSE(engine::CreateProgramsShortcut(folders_, u"C:\\x.exe", {}, title, {}, u"id", u"grp", nullptr));
    EXPECT_FALSE(engine::CreateShortcutFolder(folders_, u"bad", {}, title, install_));
  }
  EXPECT_FALSE(Exists(scratch_.Join(u"shell\\Escaped.lnk")));
  EXPECT_FALSE(Exists(Programs(u"sub")));
  // A map that names the programs folder's parent: no link goes there, and removal keeps it.
  WritePrivateProfileStringW(L"NameTitleMap", L"planted", L"..", W(Programs(u"desktop.ini")));
  EXPECT_FALSE(engine::CreateProgramsShortcut(folders_, u"C:\\x.exe", {}, u"Link", {}, u"id", u"planted", nullptr));
  EXPECT_FALSE(engine::RemoveShortcutFolder(folders_, u"planted", u"Group"));
  EXPECT_FALSE(Exists(Programs(u"Group")));
  EXPECT_TRUE(Exists(folders_.programs));
}

TEST_F(ShortcutsTest, FailuresAreLoggedWithTheirLines) {
  const std::u16string unsaved = scratch_.Join(u"no folder\\Link.lnk");
  EXPECT_FALSE(engine::CreateShortcut(nullptr, {}, Desktop(u"Null.lnk"), {}, u"id", nullptr));
  engine::ShortcutFolders none = {folders_.desktop, u""}, missing = {folders_.desktop, scratch_.Join(u"missing")};
  const struct {
    std::function<bool()> call;
    std::string line;
  } cases[] = {
      {[&] { return engine::CreateShortcut(u"C:\\x.exe", {}, unsaved, {}, u"id", nullptr); },
       "error, CreateShortcut file=" + base::Utf16ToUtf8(unsaved)},
      {[&] { return engine::CreateShortcutFolder(none, u"g", {}, u"Group", install_); },
       "error , GetProgramsDirectory error lpTitle=Group"},
      {[&] { return engine::RemoveShortcutFolder(none, u"g", u"Group"); }, "GetProgramsDirectory error lpTitle=Group"},
      {[&] { return engine::CreateShortcutFolder(missing, u"g", {}, u"Group", install_); },
       "error,shortcut folder create directory :" + base::Utf16ToUtf8(missing.programs) + "\\Group"},
      {[&] { return engine::CreateDesktopShortcut(folders_, u"C:\\x.exe", {}, u"..", {}, u"id", nullptr); },
       "error, shortcut title leads out of its folder: .."},
      {[&] { return engine::CreateProgramsShortcut(folders_, u"C:\\x.exe", {}, u"L", {}, u"id", u"nomap", nullptr); },
       "nomap"},
  };
  for (const auto& c : cases) {
    testing_support::LogTail log;
    EXPECT_FALSE(c.call());
    EXPECT_NE(log.Text().find(c.line), std::string::npos) << c.line;
  }
}

std::string Lower(const std::u16string& text) { return base::Utf16ToUtf8(base::ToLowerAscii(text)); }

engine::FileEntry Entry(const char16_t* file, const char16_t* dest, uint32_t os_mask = 0) {
  engine::FileEntry entry;
  entry.file_name = file;
  entry.dest_folder = dest;
  entry.compose_folder = u"Client";
  entry.os_mask = os_mask;
  return entry;
}

TEST(SystemFoldersTest, LinksAndEveryTargetFormWithTheRunningSystemsFolders) {
  const engine::ShortcutFolders links = engine::SystemShortcutFolders();
  EXPECT_TRUE(platform::IsDirectory(links.desktop) && platform::IsDirectory(links.programs));
  const std::u16string w = platform::WindowsDirectory();
  ASSERT_FALSE(w.empty());
  const engine::TargetFolders folders = engine::SystemTargetFolders(engine::WorkPaths(u"C:\\Norv"));
  EXPECT_EQ(folders.install_dir, u"C:\\Norv\\");
  EXPECT_EQ(Lower(folders.windows), Lower(w));
  EXPECT_TRUE(platform::IsDirectory(folders.system));
  EXPECT_TRUE(platform::IsDirectory(folders.system_for64));
  const struct {
    engine::FileEntry entry;
    std::u16string expected;
  } cases[] = {
      {Entry(u"a.dll", u"$SYSTEM32"), w + u"\\syswow64\\a.dll"},
      {Entry(u"a.sys", u"$SYSTEM32\\drivers", engine::kOsWin64), w + u"\\system32\\drivers\\a.sys"},
      {Entry(u"a.dll", u"$System32", engine::kOsWin64Nt52), w + u"\\system32\\a.dll"},
      {Entry(u"a.ttf", u"$WINDOWS\\Fonts"), w + u"\\Fonts\\a.ttf"},
      {Entry(u"a.log", u"%WINDIR%\\NorvLog"), w + u"\\NorvLog\\a.log"},
      {Entry(u"a.ini", u"%NORV_SURELY_UNSET_VARIABLE%\\x"), u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Lower(engine::FileTargetPath(c.entry, folders)), Lower(c.expected))
        << base::Utf16ToUtf8(c.entry.dest_folder);
  }
}

}  // namespace
