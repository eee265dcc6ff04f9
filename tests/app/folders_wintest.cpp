// The folder accessors against the real registry value HKLM\Software\NorvClient\InstallPath and
// real information files, set and checked through the platform layer.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
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
  void SetInstallValue(const std::u16string& text) { ASSERT_EQ(saved_.Set(text), platform::kRegOk); }

  const testing_support::SavedRegistryValue saved_{app::kSuiteKey, u"InstallPath"};
};

TEST_F(FoldersTest, InstallDirEndsInASeparatorFollowedByTheSuffix) {
  const struct {
    std::optional<std::u16string> value;  // none: no value
    const char16_t* suffix;
    std::u16string want;
    platform::RegTerminator terminator = platform::RegTerminator::kIncluded;
  } cases[] = {
      {u"C:/Norv/Client/", u"Install", u"C:/Norv/Client/Install"},  // a slash is kept, nothing added
      {u"C:\\Norv\\Client", u"Install", u"C:\\Norv\\Client\\Install"},
      {u"C:\\Norv\\Client.", nullptr, u"C:\\Norv\\Client.\\"},
      {u"", u"only", u"only"},  // an empty value is no folder
      {std::nullopt, u"Install\\a.ini", u"Install\\a.ini"},
      {std::nullopt, nullptr, u""},
      // A value must fit the path buffer of 260 with its terminator, else it counts as none.
      {std::u16string(259, u'a'), nullptr, std::u16string(259, u'a') + u"\\"},
      {std::u16string(260, u'c'), u"s", u"s"},
      {std::u16string(260, u'b'), u"s", u"s", platform::RegTerminator::kOmitted},  // fills it exactly
  };
  for (const auto& c : cases) {
    app::ResetInstallDirCacheForTesting();
    saved_.Remove();
    if (c.value) {
      ASSERT_EQ(saved_.Open().WriteString(u"InstallPath", *c.value, c.terminator), platform::kRegOk);
    }
    EXPECT_EQ(U8(app::GetInstallDir(c.suffix)), U8(c.want)) << (c.value ? U8(*c.value) : "no value");
  }
}

TEST_F(FoldersTest, ACachedFolderOfSixOrMoreCharactersIsNotReadAgain) {
  const struct {
    std::u16string first;
    bool read_again;
  } cases[] = {
      {u"C:\\ab", false},  // cached as "C:\ab\": six characters
      {u"C:\\a", true},    // cached as "C:\a\": five
  };
  for (const auto& c : cases) {
    app::ResetInstallDirCacheForTesting();
    SetInstallValue(c.first);
    const std::u16string before = app::GetInstallDir();
    SetInstallValue(u"D:\\Later\\Folder\\");
    EXPECT_EQ(U8(app::GetInstallDir(u"x")), c.read_again ? "D:\\Later\\Folder\\x" : U8(before + u"x")) << U8(c.first);
  }
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
  std::vector<unsigned char> bytes = testing_support::Utf16Bytes(want + u'\0', false);
  EXPECT_EQ(data, std::vector<uint8_t>(bytes.begin(), bytes.end()));
  saved_.Remove();
  EXPECT_FALSE(app::SetInstallPath(nullptr));
  EXPECT_EQ(saved_.Open().ReadValue(u"InstallPath", 4096, &type, &data), platform::kRegNotFound);
}

TEST_F(FoldersTest, InfoUrlReadsSectionUrlOfTheInstalledInformationFile) {
  EXPECT_EQ(U8(app::GetInfoUrl(u"url25")), "");  // no install folder
  ScratchDir install;
  ASSERT_TRUE(CreateDirectoryW(platform::as_wcstr(install.Join(u"ProgData")), nullptr));
  SetInstallValue(install.path());
  app::ResetInstallDirCacheForTesting();
  EXPECT_EQ(U8(app::GetInfoUrl(u"url25")), "");  // no information file
  testing_support::WriteText(install.Join(u"ProgData\\norvInfo.dat"),
                             "[Other]\r\nurl25=wrong\r\n[url]\r\nURL25 =  http://report.example/already?id=%s  \r\n"
                             "empty=\r\nlong=" + std::string(300, 'v') + "\r\n");
  const struct {
    const char16_t* key;
    std::string want;
  } cases[] = {
      {u"Url25", "http://report.example/already?id=%s"},
      {u"empty", ""},
      {u"url26", ""},
      {nullptr, ""},
      {u"long", std::string(259, 'v')},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(U8(app::GetInfoUrl(c.key)), c.want) << (c.key ? U8(c.key) : "null");
  }
}

}  // namespace
