// Registry values a run writes, in the real registry and read back through the platform layer:
// the "Setup.ini" entries, the Run and RunOnce values, and the installed working paths that follow
// "InstallPath". The keys and values are the test's own, removed before and after; "InstallPath"
// is put back.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "app/folders.h"
#include "app/suite_key.h"
#include "engine/registry_entries.h"
#include "engine/run_keys.h"
#include "engine/work_paths.h"
#include "support/saved_registry_value.h"
#include "support/scratch_dir.h"
#include "engine_test_util.h"

namespace engine {
namespace {

using platform::RegRoot;

const std::u16string kKey = u"Software\\NorvT";

// "dword:N", "sz:TEXT" (a string value ending in its terminator), "<no value>" or "<no key>".
std::string Stored(RegRoot root, const std::u16string& key_path, const std::u16string& name) {
  platform::RegKey key;
  uint32_t number = 0;
  std::u16string text;
  if (platform::RegKey::Open(root, key_path, platform::RegAccess::kRead, &key) != platform::kRegOk) return "<no key>";
  if (key.ReadDword(name, &number) == platform::kRegOk) return "dword:" + std::to_string(number);
  const uint32_t rc = key.ReadString(name, 4096, platform::RegStringCheck::kTerminatedText, &text);
  return rc == platform::kRegOk ? "sz:" + base::Utf16ToUtf8(text) : "<no value>";
}

// The test's own keys, removed before and after, and no install folder cached after it.
struct TestKeys {
  TestKeys() { Remove(); }
  ~TestKeys() {
    Remove();
    app::ResetInstallDirCacheForTesting();
  }
  static void Remove() {
    for (RegRoot root : {RegRoot::kLocalMachine, RegRoot::kCurrentUser, RegRoot::kCurrentConfig}) {
      platform::DeleteKeyTree(root, kKey);
    }
  }
};

// One file with both lists, as a package carries it.
TEST(RegistryEntries, InstallThenUninstallUpToTheFirstGap) {
  const testing_support::SavedRegistryValue install_path(app::kSuiteKey, u"InstallPath");
  const testing_support::ScratchDir scratch;
  const TestKeys keys;
  const std::u16string settings = scratch.Join(u"Setup.ini");
  ASSERT_TRUE(app::SetInstallPath(u"C:\\Norv Test"));
  app::ResetInstallDirCacheForTesting();
  engine_test::WriteUtf16File(settings,
      "[InstallReg1]\nKeyParent=hkey_local_machine\nSubKey=Software\\NorvT\\tree\\deep\nKeyName=Path\n"
      "KeyValue= #INSTALLPATH#n.exe,#installpath# \n[InstallReg2]\nKeyParent=HKEY_CURRENT_USER\n"
      "SubKey=Software\\NorvT\nKeyName=N\nType=dword\nKeyValue=7\n[InstallReg3]\nKeyParent=HKLM\nSubKey=Software\\NorvT\n"
      "KeyName=Short\nKeyValue=x\n[InstallReg4]\nKeyParent= Hkey_Current_Config \nSubKey=Software\\NorvT\nKeyName=c\n"
      "KeyValue=#INSTALLPATH#\n[InstallReg6]\nKeyParent=HKEY_CURRENT_USER\nSubKey=Software\\NorvT\nKeyName=Late\n"
      "[UnInstallReg1]\nKeyParent=HKEY_CURRENT_USER\nSubKey=Software\\NorvT\nKeyName=N\n[UnInstallReg2]\n"
      "KeyParent=hkey_local_machine\nSubKey=Software\\NorvT\\tree\nKeyName= \n[UnInstallReg3]\n"
      "KeyParent=HKEY_CURRENT_CONFIG\nSubKey=\n[UnInstallReg4]\nKeyParent=HKEY_CURRENT_USER\n"
      "SubKey=Software\\NorvT\\new\nKeyName=a\n[UnInstallReg6]\nKeyParent=HKEY_CURRENT_CONFIG\nSubKey=Software\\NorvT\n");
  const struct {
    RegRoot root;
    std::u16string key, name;
    std::string installed, uninstalled;
  } cases[] = {
      {RegRoot::kLocalMachine, kKey + u"\\tree\\deep", u"Path", "sz:C:\\Norv Test\\n.exe,#installpath#", "<no key>"},
      {RegRoot::kLocalMachine, kKey, u"Short", "<no value>", "<no value>"},  // "HKLM" is no root name
      {RegRoot::kCurrentUser, kKey, u"N", "dword:0", "<no value>"},
      {RegRoot::kCurrentUser, kKey, u"Late", "<no value>", "<no value>"},
      {RegRoot::kCurrentUser, kKey + u"\\new", u"a", "<no key>", "<no key>"},  // not created to delete from
      {RegRoot::kCurrentConfig, kKey, u"c", "sz:C:\\Norv Test\\", "sz:C:\\Norv Test\\"},  // the root is whole
  };
  ASSERT_TRUE(ApplyInstallRegistry(settings));
  for (const auto& c : cases) EXPECT_EQ(Stored(c.root, c.key, c.name), c.installed) << base::Utf16ToUtf8(c.name);
  ASSERT_TRUE(ApplyUninstallRegistry(settings));
  for (const auto& c : cases) EXPECT_EQ(Stored(c.root, c.key, c.name), c.uninstalled) << base::Utf16ToUtf8(c.name);

  EXPECT_FALSE(ApplyInstallRegistry(settings + u"x") || ApplyUninstallRegistry(settings + u"x"));
  std::u16string value;
  EXPECT_FALSE(ReadRegString(RegRoot::kCurrentUser, (kKey + u"\\none").c_str(), u"", 520, &value));
  EXPECT_EQ(Stored(RegRoot::kCurrentUser, kKey + u"\\none", u""), "<no key>");  // a read creates nothing
}

constexpr char16_t kRun[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char16_t kRunOnce[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
// In the order of the flags 0x008, 0x004, 0x020, 0x010.
const std::pair<RegRoot, const char16_t*> kRunKeys[] = {
    {RegRoot::kCurrentUser, kRun}, {RegRoot::kLocalMachine, kRun},
    {RegRoot::kCurrentUser, kRunOnce}, {RegRoot::kLocalMachine, kRunOnce}};

TEST(RunKeysTest, FlagsChooseTheKeysAndRemovedDeletes) {
  FileEntryList files(2);
  files[0].file_name = u"norv-a-" + base::NumberToUtf16(GetCurrentProcessId()) + u".exe";
  files[0].flags = kFileRunUser | kFileRunOnceMachine;
  files[0].full_path = u"C:\\Program Files\\Norv\\a.exe";
  files[1].file_name = u"norv-b-" + base::NumberToUtf16(GetCurrentProcessId()) + u".exe";
  files[1].flags = kFileRunMachine | kFileRunOnceUser;
  files[1].full_path = u"C:\\Norv\\b.exe";
  // The files' values in key k, each followed by "|".
  const auto values = [&](int k) {
    std::string out;
    for (const auto& file : files) out += Stored(kRunKeys[k].first, kRunKeys[k].second, file.file_name) + "|";
    return out;
  };
  const std::string no_key = "<no key>|<no key>|";
  std::string before[4];
  for (int k = 0; k < 4; ++k) before[k] = values(k);
  EXPECT_EQ(UpdateRunKeys(files), 0u);
  for (int k = 0; k < 4; ++k) {
    EXPECT_TRUE(before[k] != no_key || values(k) == no_key) << "a missing key was made: " << k;
    platform::RegKey key;
    ASSERT_EQ(platform::RegKey::Create(kRunKeys[k].first, kRunKeys[k].second, platform::RegAccess::kReadWrite, &key),
              platform::kRegOk);
  }
  EXPECT_EQ(UpdateRunKeys(files), 0u);
  const std::string a = "sz:C:\\Program Files\\Norv\\a.exe|<no value>|", b = "<no value>|sz:C:\\Norv\\b.exe|";
  EXPECT_EQ((std::vector<std::string>{values(0), values(1), values(2), values(3)}),
            (std::vector<std::string>{a, b, b, a}));
  for (auto& file : files) file.state = FileState::kRemoved;
  EXPECT_EQ(UpdateRunKeys(files), 0u);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(values(k), "<no value>|<no value>|") << k;
    if (before[k] == no_key) platform::DeleteKeyTree(kRunKeys[k].first, kRunKeys[k].second);
  }
}

TEST(InstalledWorkPaths, FollowInstallPath) {
  const testing_support::SavedRegistryValue saved(app::kSuiteKey, u"InstallPath");
  ASSERT_TRUE(app::SetInstallPath(u"C:\\Program Files\\Norv"));
  app::ResetInstallDirCacheForTesting();
  EXPECT_EQ(InstalledWorkPaths().ComposeFilePath(u"Core", ComposeLocation::kInstalled),
            u"C:\\Program Files\\Norv\\Install\\Compose\\Core.out");
  app::ResetInstallDirCacheForTesting();
}

}  // namespace
}  // namespace engine
