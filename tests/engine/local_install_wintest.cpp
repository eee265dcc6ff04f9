// The registry half of the installed state under Wine: FileValid marks and the OEM value, read
// and written in the real registry. Every test removes what it created.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "base/strings.h"
#include "engine/change_detect.h"
#include "engine/engine_codes.h"
#include "engine/local_install.h"
#include "platform/registry.h"
#include "support/saved_registry_value.h"
#include "support/scratch_dir.h"
#include "engine_test_util.h"

namespace {

using platform::RegAccess;
using platform::RegKey;
using platform::RegRoot;

constexpr char16_t kFileValidKey[] = u"Software\\NorvClient\\FileValid";

bool KeyExists(const char16_t* subkey) {
  RegKey key;
  return RegKey::Open(RegRoot::kLocalMachine, subkey, RegAccess::kRead, &key) == platform::kRegOk;
}

// Removes the named FileValid values at the end, and the key itself when the test made it.
class FileValidMarks {
 public:
  FileValidMarks() : key_existed_(KeyExists(kFileValidKey)) {}
  ~FileValidMarks() {
    RegKey key;
    if (RegKey::Open(RegRoot::kLocalMachine, kFileValidKey, RegAccess::kReadWrite, &key) == platform::kRegOk) {
      for (const auto& name : names_) key.DeleteValue(name);
      std::vector<std::u16string> left;
      key.ListValueNames(&left);
      key.Close();
      if (!key_existed_ && left.empty()) platform::DeleteKeyTree(RegRoot::kLocalMachine, kFileValidKey);
    }
  }
  void Track(const std::u16string& name) { names_.push_back(name); }
  RegKey Open() {
    RegKey key;
    EXPECT_EQ(RegKey::Create(RegRoot::kLocalMachine, kFileValidKey, RegAccess::kReadWrite, &key), platform::kRegOk);
    return key;
  }

 private:
  bool key_existed_;
  std::vector<std::u16string> names_;
};

TEST(LocalInstallRegistryTest, SetInstallFileValidWritesADword) {
  FileValidMarks marks;
  marks.Track(u"NorvTestCore-a.dll");
  EXPECT_TRUE(engine::SetInstallFileValid(u"a.dll", u"NorvTestCore", 0));
  RegKey key = marks.Open();
  platform::RegType type;
  std::vector<uint8_t> data;
  ASSERT_EQ(key.ReadValue(u"NorvTestCore-a.dll", 16, &type, &data), platform::kRegOk);
  EXPECT_EQ(type, platform::RegType::kDword);
  EXPECT_EQ(data, (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_FALSE(engine::IsInstallFileValid(u"a.dll", u"NorvTestCore"));

  EXPECT_TRUE(engine::SetInstallFileValid(u"a.dll", u"NorvTestCore", 1));
  uint32_t value = 7;
  ASSERT_EQ(key.ReadDword(u"NorvTestCore-a.dll", &value), platform::kRegOk);
  EXPECT_EQ(value, 1u);
  EXPECT_TRUE(engine::IsInstallFileValid(u"a.dll", u"NorvTestCore"));
}

TEST(LocalInstallRegistryTest, OnlyADwordZeroIsInvalid) {
  FileValidMarks marks;
  RegKey key = marks.Open();
  const struct {
    const char16_t* file;
    platform::RegType type;  // kNone: no value at all
    std::vector<uint8_t> data;
    bool valid;
  } cases[] = {
      {u"zero.dll", platform::RegType::kDword, {0, 0, 0, 0}, false},
      {u"one.dll", platform::RegType::kDword, {1, 0, 0, 0}, true},
      {u"five.dll", platform::RegType::kDword, {5, 0, 0, 0}, true},
      {u"text.dll", platform::RegType::kString, {'0', 0, 0, 0}, true},
      {u"absent.dll", platform::RegType::kNone, {}, true},
  };
  for (const auto& c : cases) {
    const std::u16string name = std::u16string(u"NorvTestCore-") + c.file;
    marks.Track(name);
    if (c.type == platform::RegType::kDword) {
      key.WriteDword(name, c.data[0]);
    } else if (c.type == platform::RegType::kString) {
      key.WriteString(name, u"0");
    }
    EXPECT_EQ(engine::IsInstallFileValid(c.file, u"NorvTestCore"), c.valid) << base::Utf16ToUtf8(c.file);
  }
}

TEST(LocalInstallRegistryTest, MergeReadsTheRealMarks) {
  FileValidMarks marks;
  marks.Track(u"NorvMergeCore-svc.exe");
  marks.Track(u"NorvMergeCore-ui.exe");
  testing_support::ScratchDir dir;
  const engine::WorkPaths paths(dir.path());
  const std::string lines =
      "svc.exe=,,0,2,0,1,1,0,0,0,,,FFFFFFFF,,0,0\n"
      "ui.exe=,,0,2,0,1,1,0,0,0,,,FFFFFFFF,,0,0\n";
  const std::string text = "[Version]\nPath=Core\n[HaveSection]\nNorvMergeCore=Files\n[Files]\n" + lines;
  std::filesystem::create_directories(std::filesystem::path(dir.path()) / "Core");
  engine_test::WriteUtf16File(paths.ComposeFilePath(u"NorvMergeCore", engine::ComposeLocation::kInstalled), text);
  const std::u16string fresh = dir.Join(u"NorvMergeCore.new");
  engine_test::WriteUtf16File(fresh, text);
  testing_support::WriteText(dir.Join(u"Core\\svc.exe"), "");  // empty files sum to FFFFFFFF
  testing_support::WriteText(dir.Join(u"Core\\ui.exe"), "");

  engine::SetInstallFileValid(u"svc.exe", u"NorvMergeCore", 0);
  engine::SetInstallFileValid(u"ui.exe", u"NorvMergeCore", 1);

  const engine::LocalInstallPtr store(engine::CreateLocalInstall(paths));
  engine::Compose compose(paths);
  compose.SetFilePath(u"NorvMergeCore", engine::ComposeLocation::kInstalled);
  compose.LinkToStore(store.get());
  ASSERT_EQ(compose.LoadComposeFiles(), engine::kOk);
  ASSERT_EQ(engine::MergeComposeFiles(compose, fresh.c_str(), engine::ComposeLocation::kTemp), engine::kOk);
  ASSERT_EQ(compose.entries.size(), 2u);
  EXPECT_EQ(compose.entries[0].state, engine::FileState::kUnchanged);
  EXPECT_EQ(compose.entries[1].state, engine::FileState::kUnchanged);
  engine::FileEntryList work;
  engine::CollectWorkFiles(compose, &work, false);
  ASSERT_EQ(work.size(), 1u);
  EXPECT_EQ(work[0].file_name, u"svc.exe");
}

}  // namespace
