// The registry layer against the real registry, in a key of its own under HKCU that each test
// removes. Values are set and checked with the platform's own calls where the layer's answer is
// what is being tested.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

#include "base/strings.h"
#include "platform/registry.h"
#include "platform/win/unique_handles.h"

namespace {

using platform::RegAccess;
using platform::RegKey;
using platform::RegRoot;

const char16_t kBase[] = u"Software\\NorvRegistryTest";

void SetRaw(const RegKey& key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
  ASSERT_EQ(RegSetValueExW(static_cast<HKEY>(key.native()), name, 0, type, static_cast<const BYTE*>(data), size),
            ERROR_SUCCESS);
}

std::vector<BYTE> QueryRaw(const RegKey& key, const wchar_t* name, DWORD* type) {
  DWORD size = 0;
  std::vector<BYTE> data;
  if (RegQueryValueExW(static_cast<HKEY>(key.native()), name, nullptr, type, nullptr, &size) != ERROR_SUCCESS) {
    return data;
  }
  data.resize(size);
  RegQueryValueExW(static_cast<HKEY>(key.native()), name, nullptr, type, data.data(), &size);
  data.resize(size);
  return data;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::DeleteKeyTree(RegRoot::kCurrentUser, kBase);
    ASSERT_EQ(RegKey::Create(RegRoot::kCurrentUser, kBase, RegAccess::kAll, &key_), platform::kRegOk);
  }
  void TearDown() override {
    key_.Close();
    platform::DeleteKeyTree(RegRoot::kCurrentUser, kBase);
  }
  RegKey key_;
};

TEST_F(RegistryTest, OpenFindsOnlyExistingKeysAndCreateMakesParents) {
  RegKey key;
  EXPECT_EQ(RegKey::Open(RegRoot::kCurrentUser, u"Software\\NorvRegistryTest\\a\\b", RegAccess::kRead, &key),
            platform::kRegNotFound);
  EXPECT_FALSE(key.IsOpen());
  EXPECT_EQ(RegKey::Create(RegRoot::kCurrentUser, u"Software\\NorvRegistryTest\\a\\b", RegAccess::kReadWrite, &key),
            platform::kRegOk);
  EXPECT_TRUE(key.IsOpen());
  RegKey child;
  EXPECT_EQ(key_.OpenChild(u"a\\b", RegAccess::kRead, &child), platform::kRegOk);
  EXPECT_EQ(key_.OpenChild(u"a\\c", RegAccess::kRead, &child), platform::kRegNotFound);
  EXPECT_FALSE(child.IsOpen());
}

TEST_F(RegistryTest, StringsAreStoredWithTheirTerminator) {
  ASSERT_EQ(key_.WriteString(u"with", u"abc"), platform::kRegOk);
  DWORD type = 0;
  EXPECT_EQ(QueryRaw(key_, L"with", &type), (std::vector<BYTE>{'a', 0, 'b', 0, 'c', 0, 0, 0}));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  // A size without the terminator is what some callers pass; the text reads back the same.
  ASSERT_EQ(key_.WriteString(u"without", u"abc", platform::RegTerminator::kOmitted), platform::kRegOk);
  std::u16string value;
  EXPECT_EQ(key_.ReadString(u"without", 520, platform::RegStringCheck::kAnyData, &value), platform::kRegOk);
  EXPECT_EQ(value, u"abc");
}

TEST_F(RegistryTest, StringReadsHonourTheCheckAndTheSizeBound) {
  const wchar_t terminated[] = L"C:\\x\\";
  const wchar_t open[] = {L'a', L'b'};
  const DWORD number = 7;
  const BYTE odd[] = {'a', 0, 0};
  SetRaw(key_, L"sz", REG_SZ, terminated, sizeof terminated);
  SetRaw(key_, L"expand", REG_EXPAND_SZ, terminated, sizeof terminated);
  SetRaw(key_, L"open", REG_SZ, open, sizeof open);
  SetRaw(key_, L"dword", REG_DWORD, &number, sizeof number);
  SetRaw(key_, L"odd", REG_SZ, odd, sizeof odd);
  SetRaw(key_, L"empty", REG_SZ, nullptr, 0);
  struct Case {
    const char16_t* name;
    platform::RegStringCheck check;
    size_t max_bytes;
    uint32_t want_rc;
    std::u16string want;
  } cases[] = {
      {u"sz", platform::RegStringCheck::kTerminatedText, 520, platform::kRegOk, u"C:\\x\\"},
      {u"expand", platform::RegStringCheck::kTerminatedText, 520, platform::kRegOk, u"C:\\x\\"},
      {u"open", platform::RegStringCheck::kTerminatedText, 520, platform::kRegInvalidData, u""},
      {u"open", platform::RegStringCheck::kAnyData, 520, platform::kRegOk, u"ab"},
      {u"dword", platform::RegStringCheck::kTerminatedText, 520, platform::kRegInvalidData, u""},
      {u"odd", platform::RegStringCheck::kTerminatedText, 520, platform::kRegInvalidData, u""},
      {u"odd", platform::RegStringCheck::kAnyData, 520, platform::kRegOk, u"a"},
      {u"empty", platform::RegStringCheck::kTerminatedText, 520, platform::kRegOk, u""},
      {u"sz", platform::RegStringCheck::kAnyData, sizeof terminated, platform::kRegOk, u"C:\\x\\"},
      {u"sz", platform::RegStringCheck::kAnyData, sizeof terminated - 1, platform::kRegMoreData, u""},
      {u"missing", platform::RegStringCheck::kAnyData, 520, platform::kRegNotFound, u""},
  };
  for (const Case& c : cases) {
    std::u16string value = u"stale";
    EXPECT_EQ(key_.ReadString(c.name, c.max_bytes, c.check, &value), c.want_rc) << base::Utf16ToUtf8(c.name);
    EXPECT_EQ(base::Utf16ToUtf8(value), base::Utf16ToUtf8(c.want)) << base::Utf16ToUtf8(c.name);
  }
}

TEST_F(RegistryTest, DwordsRoundTripAndOtherTypesAreRefused) {
  ASSERT_EQ(key_.WriteDword(u"n", 0xDEADBEEF), platform::kRegOk);
  DWORD type = 0;
  const std::vector<BYTE> raw = QueryRaw(key_, L"n", &type);
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(raw, (std::vector<BYTE>{0xEF, 0xBE, 0xAD, 0xDE}));
  uint32_t value = 0;
  EXPECT_EQ(key_.ReadDword(u"n", &value), platform::kRegOk);
  EXPECT_EQ(value, 0xDEADBEEFu);
  ASSERT_EQ(key_.WriteString(u"s", u"0"), platform::kRegOk);
  EXPECT_EQ(key_.ReadDword(u"s", &value), platform::kRegWrongType);
  EXPECT_EQ(key_.ReadDword(u"none", &value), platform::kRegNotFound);
}

TEST_F(RegistryTest, AReadOnlyKeyRefusesWrites) {
  RegKey read_only;
  ASSERT_EQ(RegKey::Open(RegRoot::kCurrentUser, kBase, RegAccess::kRead, &read_only), platform::kRegOk);
  EXPECT_EQ(read_only.WriteString(u"x", u"y"), platform::kRegAccessDenied);
  EXPECT_EQ(read_only.WriteDword(u"x", 1), platform::kRegAccessDenied);
}

TEST_F(RegistryTest, ListingDeletingValuesAndWholeTrees) {
  RegKey sub;
  ASSERT_EQ(key_.CreateChild(u"one\\deep\\deeper", RegAccess::kReadWrite, &sub), platform::kRegOk);
  ASSERT_EQ(sub.WriteString(u"v", u"w"), platform::kRegOk);
  ASSERT_EQ(key_.CreateChild(u"two", RegAccess::kReadWrite, &sub), platform::kRegOk);
  ASSERT_EQ(key_.WriteDword(u"a", 1), platform::kRegOk);
  ASSERT_EQ(key_.WriteString(u"b", u"x"), platform::kRegOk);
  sub.Close();

  std::vector<std::u16string> names;
  ASSERT_EQ(key_.ListSubkeys(&names), platform::kRegOk);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"one", u"two"}));
  ASSERT_EQ(key_.ListValueNames(&names), platform::kRegOk);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::u16string>{u"a", u"b"}));

  EXPECT_EQ(key_.DeleteValue(u"a"), platform::kRegOk);
  EXPECT_EQ(key_.DeleteValue(u"a"), platform::kRegNotFound);
  ASSERT_EQ(key_.ListValueNames(&names), platform::kRegOk);
  EXPECT_EQ(names, (std::vector<std::u16string>{u"b"}));

  EXPECT_EQ(platform::DeleteKeyTree(RegRoot::kCurrentUser, u"Software\\NorvRegistryTest\\one"), platform::kRegOk);
  RegKey gone;
  EXPECT_EQ(key_.OpenChild(u"one", RegAccess::kRead, &gone), platform::kRegNotFound);
  EXPECT_EQ(key_.OpenChild(u"two", RegAccess::kRead, &gone), platform::kRegOk);
  EXPECT_EQ(platform::DeleteKeyTree(RegRoot::kCurrentUser, u"Software\\NorvRegistryTest\\one"),
            platform::kRegNotFound);
  EXPECT_NE(platform::DeleteKeyTree(RegRoot::kCurrentUser, u""), platform::kRegOk);
}

// Machine-wide keys land where the 32-bit suite looks: under "Wow6432Node" of the native view.
TEST(RegistryView, MachineKeysAreInThe32BitView) {
  const auto in_native_view = [](const wchar_t* path) {
    platform::UniqueRegKey raw;
    return RegOpenKeyExW(HKEY_LOCAL_MACHINE, path, 0, KEY_READ | KEY_WOW64_64KEY, raw.put()) == ERROR_SUCCESS;
  };
  RegKey key;
  ASSERT_EQ(RegKey::Create(RegRoot::kLocalMachine, u"Software\\NorvViewTest\\sub", RegAccess::kRead, &key), 0u);
  key.Close();
  EXPECT_TRUE(in_native_view(L"Software\\Wow6432Node\\NorvViewTest\\sub"));
  EXPECT_FALSE(in_native_view(L"Software\\NorvViewTest"));
  EXPECT_EQ(platform::DeleteKeyTree(RegRoot::kLocalMachine, u"Software\\NorvViewTest"), platform::kRegOk);
  EXPECT_FALSE(in_native_view(L"Software\\Wow6432Node\\NorvViewTest"));
  EXPECT_EQ(platform::DeleteKeyTree(RegRoot::kCurrentConfig, u"\\\\"), 87u);  // separators alone name the root
}

}  // namespace
