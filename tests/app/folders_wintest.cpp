// The folder accessors against the real registry value HKLM\Software\NorvClient\InstallPath and
// real information files. The test sets and checks the registry through the platform layer, so it
// does not trust the code under test to see what it wrote.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "app/folders.h"
#include "app/suite_key.h"
#include "base/strings.h"
#include "platform/win/wstr.h"
#include "support/saved_registry_value.h"
#include "support/scratch_dir.h"

namespace {

using testing_support::ScratchDir;

std::string U8(const std::u16string& s) { return base::Utf16ToUtf8(s); }

// Each test starts without "InstallPath" and an empty cache; what was there before is put back.
class FoldersTest : public ::testing::Test {
 protected:
  void SetUp() override {
    saved_.Remove();
    app::ResetInstallDirCacheForTesting();
  }
  void TearDown() override { app::ResetInstallDirCacheForTesting(); }

  // Stores text as a terminated string value.
  void SetInstallValue(const std::u16string& text) { ASSERT_EQ(saved_.Set(text), platform::kRegOk); }

  const testing_support::SavedRegistryValue saved_{app::kSuiteKey, u"InstallPath"};
};

TEST_F(FoldersTest, InstallDirEndsInASeparatorFollowedByTheSuffix) {
  struct Case {
    std::u16string value;
    const char16_t* suffix;
    std::u16string want;
  } cases[] = {
      {u"C:\\Norv\\Client\\", u"ProgData\\x.dat", u"C:\\Norv\\Client\\ProgData\\x.dat"},
      {u"C:/Norv/Client/", u"Install", u"C:/Norv/Client/Install"},  // a slash is kept, nothing added
      {u"C:\\Norv\\Client", u"Install", u"C:\\Norv\\Client\\Install"},
      {u"C:\\Norv\\Client.", nullptr, u"C:\\Norv\\Client.\\"},
      {u"C:\\Norv\\Client\\", nullptr, u"C:\\Norv\\Client\\"},
      {u"", u"only", u"only"},  // an empty value is no folder
  };
  for (const Case& c : cases) {
    app::ResetInstallDirCacheForTesting();
    SetInstallValue(c.value);
    EXPECT_EQ(U8(app::GetInstallDir(c.suffix)), U8(c.want)) << U8(c.value);
  }
}

TEST_F(FoldersTest, ACachedFolderOfSixOrMoreCharactersIsNotReadAgain) {
  struct Case {
    std::u16string first;
    bool read_again;
  } cases[] = {
      {u"C:\\Norv\\", false},
      {u"C:\\ab", false},  // cached as "C:\ab\": six characters
      {u"C:\\a", true},    // cached as "C:\a\": five
      {u"C:\\", true},
  };
  for (const Case& c : cases) {
    app::ResetInstallDirCacheForTesting();
    SetInstallValue(c.first);
    const std::u16string before = app::GetInstallDir();
    SetInstallValue(u"D:\\Later\\Folder\\");
    const std::u16string after = app::GetInstallDir(u"x");
    EXPECT_EQ(U8(after), c.read_again ? "D:\\Later\\Folder\\x" : U8(before + u"x")) << U8(c.first);
  }
}

TEST_F(FoldersTest, AValueThatDoesNotFitThePathBufferCountsAsNone) {
  SetInstallValue(std::u16string(259, u'a'));
  EXPECT_EQ(app::GetInstallDir().size(), 260u);
  // 260 characters without a terminator fill the buffer exactly: there is no room for one.
  app::ResetInstallDirCacheForTesting();
  ASSERT_EQ(saved_.Open().WriteString(u"InstallPath", std::u16string(260, u'b'), platform::RegTerminator::kOmitted),
            platform::kRegOk);
  EXPECT_EQ(U8(app::GetInstallDir(u"s")), "s");
  app::ResetInstallDirCacheForTesting();
  SetInstallValue(std::u16string(260, u'c'));
  EXPECT_EQ(U8(app::GetInstallDir(u"s")), "s");
}

TEST(SuiteKey, OemIsAStringOfAtMost260Characters) {
  const testing_support::SavedRegistryValue oem(app::kSuiteKey, u"OEM");
  oem.Remove();
  EXPECT_EQ(app::ReadOemName(), u"");
  ASSERT_EQ(oem.Set(u"联想-OEM"), platform::kRegOk);
  EXPECT_EQ(app::ReadOemName(), u"联想-OEM");
  ASSERT_EQ(oem.Set(std::u16string(260, u'x')), platform::kRegOk);
  EXPECT_EQ(app::ReadOemName(), std::u16string(260, u'x'));
  // Longer than its buffer, or not a string: no OEM text.
  ASSERT_EQ(oem.Set(std::u16string(300, u'x')), platform::kRegOk);
  EXPECT_EQ(app::ReadOemName(), u"");
  ASSERT_EQ(oem.Open().WriteDword(u"OEM", 7), platform::kRegOk);
  EXPECT_EQ(app::ReadOemName(), u"");
}

TEST_F(FoldersTest, SetInstallPathStoresAStringWithItsTerminatingZero) {
  const std::u16string want = u"C:\\Program Files\\KestrelClient\\";
  ASSERT_TRUE(app::SetInstallPath(want.c_str()));
  platform::RegType type;
  std::vector<uint8_t> data;
  ASSERT_EQ(saved_.Open().ReadValue(u"InstallPath", 4096, &type, &data), platform::kRegOk);
  EXPECT_EQ(type, platform::RegType::kString);
  ASSERT_EQ(data.size(), (want.size() + 1) * 2);
  EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(data.data()), want.size()), want);
  EXPECT_EQ(data[data.size() - 2], 0);
  EXPECT_EQ(data[data.size() - 1], 0);
  saved_.Remove();
  EXPECT_FALSE(app::SetInstallPath(nullptr));
  EXPECT_EQ(saved_.Open().ReadValue(u"InstallPath", 4096, &type, &data), platform::kRegNotFound);
}

TEST_F(FoldersTest, InfoUrlReadsSectionUrlOfTheInstalledInformationFile) {
  ScratchDir install;
  const std::u16string folder = install.path() + u"\\";
  ASSERT_TRUE(CreateDirectoryW(platform::as_wcstr(install.Join(u"ProgData")), nullptr));
  const std::string long_value(300, 'v');
  testing_support::WriteText(install.Join(u"ProgData\\norvInfo.dat"),
                             "[Other]\r\nurl25=wrong\r\n"
                             "[url]\r\n"
                             "URL25 =  http://report.example/already?id=%s  \r\n"
                             "empty=\r\n"
                             "long=" + long_value + "\r\n");
  SetInstallValue(install.path());  // without a separator: GetInstallDir adds it
  struct Case {
    const char16_t* key;
    std::string want;
  } cases[] = {
      {u"url25", "http://report.example/already?id=%s"},
      {u"Url25", "http://report.example/already?id=%s"},
      {u"empty", ""},
      {u"url26", ""},
      {nullptr, ""},
      {u"long", std::string(259, 'v')},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(U8(app::GetInfoUrl(c.key)), c.want) << (c.key ? U8(c.key) : "null");
  }
  EXPECT_EQ(U8(app::GetInstallDir()), U8(folder));
}

TEST_F(FoldersTest, WithoutAnInstallFolderOnlyTheSuffixIsLeft) {
  EXPECT_EQ(U8(app::GetInstallDir(u"Install\\a.ini")), "Install\\a.ini");
  EXPECT_EQ(U8(app::GetInstallDir()), "");
  EXPECT_EQ(U8(app::GetInfoUrl(u"url25")), "");
  ScratchDir install;
  SetInstallValue(install.path() + u"\\");
  EXPECT_EQ(U8(app::GetInfoUrl(u"url25")), "");  // folder without ProgData\norvInfo.dat
}

TEST(TempWorkDir, IsTheSystemTemporaryFolderWithHavenClient) {
  wchar_t temp[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, temp);
  ASSERT_GT(n, 0u);
  const std::u16string want = std::u16string(reinterpret_cast<const char16_t*>(temp), n) + u"HavenClient\\";
  EXPECT_EQ(U8(app::GetTempWorkDir()), U8(want));
}

}  // namespace
