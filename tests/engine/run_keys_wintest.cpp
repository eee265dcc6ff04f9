// Run and RunOnce values in the real registry (Wine); the values and keys the test makes go again.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "base/strings.h"
#include "engine/run_keys.h"
#include "platform/registry.h"

namespace engine {
namespace {

using platform::RegAccess;
using platform::RegKey;
using platform::RegRoot;

constexpr char16_t kRun[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr char16_t kRunOnce[] = u"Software\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
// In the order of the flags 0x008, 0x004, 0x020, 0x010.
const std::pair<RegRoot, const char16_t*> kKeys[] = {
    {RegRoot::kCurrentUser, kRun}, {RegRoot::kLocalMachine, kRun},
    {RegRoot::kCurrentUser, kRunOnce}, {RegRoot::kLocalMachine, kRunOnce}};

// The files' values in key k, each followed by "|" ("-" for none); "no key" without the key.
std::string Values(int k, const FileEntryList& files) {
  RegKey key;
  if (RegKey::Open(kKeys[k].first, kKeys[k].second, RegAccess::kRead, &key) != platform::kRegOk) return "no key";
  std::string out;
  for (const auto& file : files) {
    std::u16string value;
    const uint32_t rc = key.ReadString(file.file_name, 1024, platform::RegStringCheck::kTerminatedText, &value);
    out += (rc == platform::kRegOk ? base::Utf16ToUtf8(value) : "-") + "|";
  }
  return out;
}

TEST(RunKeysTest, FlagsChooseTheKeysAndRemovedDeletes) {
  FileEntryList files(2);
  files[0].file_name = u"norv-a-" + base::NumberToUtf16(GetCurrentProcessId()) + u".exe";
  files[0].flags = kFileRunUser | kFileRunOnceMachine;
  files[0].full_path = u"C:\\Program Files\\Norv\\a.exe";
  files[1].file_name = u"norv-b-" + base::NumberToUtf16(GetCurrentProcessId()) + u".exe";
  files[1].flags = kFileRunMachine | kFileRunOnceUser;
  files[1].full_path = u"C:\\Norv\\b.exe";
  std::string before[4];
  for (int k = 0; k < 4; ++k) before[k] = Values(k, files);
  EXPECT_EQ(UpdateRunKeys(files), 0u);
  for (int k = 0; k < 4; ++k) {
    EXPECT_TRUE(before[k] != "no key" || Values(k, files) == "no key") << "a missing key was made: " << k;
    RegKey key;
    ASSERT_EQ(RegKey::Create(kKeys[k].first, kKeys[k].second, RegAccess::kReadWrite, &key), platform::kRegOk);
  }
  EXPECT_EQ(UpdateRunKeys(files), 0u);
  const std::string a = "C:\\Program Files\\Norv\\a.exe|-|", b = "-|C:\\Norv\\b.exe|";
  EXPECT_EQ((std::vector<std::string>{Values(0, files), Values(1, files), Values(2, files), Values(3, files)}),
            (std::vector<std::string>{a, b, b, a}));
  for (auto& file : files) file.state = FileState::kRemoved;
  EXPECT_EQ(UpdateRunKeys(files), 0u);
  for (int k = 0; k < 4; ++k) {
    EXPECT_EQ(Values(k, files), "-|-|") << k;
    if (before[k] == "no key") platform::DeleteKeyTree(kKeys[k].first, kKeys[k].second);
  }
}

}  // namespace
}  // namespace engine
