// Target paths of installed files: every folder form over fixed folder facts, the identifier
// lookup and the search through installed descriptions.
#include <gtest/gtest.h>

#include <string>

#include "base/path.h"
#include "base/strings.h"
#include "engine/compose.h"
#include "engine/os_mask.h"
#include "engine/target_path.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"
#include "engine_test_util.h"

namespace {

using engine::FileEntry;
using engine::TargetFolders;

TargetFolders FixedFolders() {
  TargetFolders folders;
  folders.install_dir = u"C:\\Norv\\";
  folders.system = u"C:\\Windows\\SysWOW64";
  folders.system_for64 = u"C:\\Windows\\system32";
  folders.windows = u"C:\\Windows";
  folders.expand_environment = [](std::u16string_view text, std::u16string* out) {
    const std::u16string_view name = u"%APPDATA%";
    *out = std::u16string(text);
    if (base::StartsWithIgnoreAsciiCase(text, name)) {
      *out = u"C:\\Users\\u\\AppData\\Roaming" + std::u16string(text.substr(name.size()));
    }
    return true;
  };
  return folders;
}

FileEntry Entry(std::u16string file, std::u16string dest, std::u16string compose_folder, uint32_t os_mask = 0) {
  FileEntry entry;
  entry.file_name = std::move(file);
  entry.dest_folder = std::move(dest);
  entry.compose_folder = std::move(compose_folder);
  entry.os_mask = os_mask;
  return entry;
}

TEST(TargetPathTest, EveryFolderForm) {
  const struct {
    FileEntry entry;
    std::u16string expected;
  } cases[] = {
      {Entry(u"a.exe", u"", u""), u"C:\\Norv\\a.exe"},
      {Entry(u"a.exe", u"bin", u"Client  \t"), u"C:\\Norv\\Client\\bin\\a.exe"},
      // $SYSTEM32: ordinary files where a 32-bit program's writes land, 64-bit system files in
      // the real system folder.
      {Entry(u"a.dll", u"$SYSTEM32", u"Client"), u"C:\\Windows\\SysWOW64\\a.dll"},
      {Entry(u"a.sys", u"$system32\\drivers", u""), u"C:\\Windows\\SysWOW64\\drivers\\a.sys"},
      {Entry(u"a.dll", u"$SYSTEM32", u"", engine::kOsWin64), u"C:\\Windows\\system32\\a.dll"},
      {Entry(u"a.ttf", u"$WINDOWS\\Fonts", u"Client"), u"C:\\Windows\\Fonts\\a.ttf"},
      {Entry(u"a.dat", u"%APPDATA%\\Norv", u"Client"), u"C:\\Users\\u\\AppData\\Roaming\\Norv\\a.dat"},
      // No sound path: empty.
      {Entry(u"a.dll", u"$PROGRAMS\\x", u""), u""},
      {Entry(u"a.dll", u"$SYSTEM32\\..\\..\\evil", u""), u""},
      {Entry(u"a.dll", u"%APPDATA%\\..\\x", u""), u""},
      {Entry(u"a.dll", u"%UNSET%\\x", u""), u""},  // stays unexpanded: no folder of its own
      {Entry(u"", u"bin", u""), u""},
      {Entry(u"..\\a.dll", u"bin", u""), u""},
      {Entry(u"a.dll", u"..\\bin", u""), u""},
      {Entry(u"a.dll", u"bin", u"Client\\.."), u""},
      {Entry(u"a.dll", u"C:\\bin", u""), u""},
  };
  const TargetFolders folders = FixedFolders();
  for (const auto& c : cases) {
    EXPECT_EQ(engine::FileTargetPath(c.entry, folders), c.expected)
        << base::Utf16ToUtf8(c.entry.dest_folder) << " / " << base::Utf16ToUtf8(c.entry.file_name);
  }
}

// Without the 64-bit system folder a 64-bit file goes to the system folder, with a warning;
// without the folder of a macro, or a failed expansion, there is no path.
TEST(TargetPathTest, MissingFolderFacts) {
  TargetFolders folders = FixedFolders();
  folders.system_for64.clear();
  const testing_support::LogTail log;
  EXPECT_EQ(engine::FileTargetPath(Entry(u"a.dll", u"$SYSTEM32", u"", engine::kOsWin64), folders),
            u"C:\\Windows\\SysWOW64\\a.dll");
  EXPECT_NE(log.Text().find("warning , GetSystemDirectoryFor64 is failed ! so user GetSystemDirectory for win32."),
            std::string::npos);
  folders.system.clear();
  folders.windows.clear();
  EXPECT_EQ(engine::FileTargetPath(Entry(u"a.dll", u"$SYSTEM32", u""), folders), u"");
  EXPECT_EQ(engine::FileTargetPath(Entry(u"a.dll", u"$WINDOWS", u""), folders), u"");
  folders.expand_environment = [](std::u16string_view, std::u16string*) { return false; };
  EXPECT_EQ(engine::FileTargetPath(Entry(u"a.dll", u"%APPDATA%", u""), folders), u"");
}

// Installed descriptions under a scratch install folder.
class InstalledPathTest : public ::testing::Test {
 protected:
  InstalledPathTest() {
    folders_ = FixedFolders();
    folders_.install_dir = dir_.path() + u"\\";
    Write(u"Core",
          "[Version]\nPath=Core\n[HaveSection]\nCore=Files,,Sys,Missing\nOther=Ignored\n"
          "[Files]\na.exe=," "bin" ",0,2,0,1,0,0,0,0,,,1A2B,,100,0\n"
          "a-b.exe=,,0,2,0,1,0,0,0,0,,,0,,0,0\n"
          "dup.dll=,first,0,1,0,1,0,0,0,0,,,0,,0,0\n"
          "[Sys]\ndup.dll=,second,0,1,0,1,0,0,0,0,,,0,,0,0\n"
          "c.sys=,$SYSTEM32\\drivers,0,0,0,1,0,0,0,0,,,0,,0,400\n"
          "[Ignored]\nignored.dll=,,0,1,0,1,0,0,0,0,,,0,,0,0\n"
          "[OldFile_Map]\nmoved.dll=Extra\nloop.dll=Extra\nself.dll=core\n");
    Write(u"Extra",
          "[Version]\nPath=Ext\n[HaveSection]\nExtra=F\n[F]\nmoved.dll=,lib,0,1,0,1,0,0,0,0,,,0,,0,0\n"
          "[OldFile_Map]\nloop.dll=Core\ngone.dll=Absent\n");
    Write(u"Escape", "[Version]\nPath=..\\Outside\n[HaveSection]\nEscape=F\n[F]\n");
  }
  void Write(const std::u16string& compose, const std::string& text) {
    engine_test::WriteUtf16File(dir_.Join(u"Install\\Compose\\" + compose + u".out"), text);
  }
  std::u16string I(const std::u16string& rest) const { return folders_.install_dir + rest; }

  testing_support::ScratchDir dir_;
  TargetFolders folders_;
};

TEST_F(InstalledPathTest, FindInstalledFilePath) {
  const struct {
    std::u16string compose;
    std::u16string file;
    const char16_t* dest;
    std::u16string expected;
  } cases[] = {
      {u"Core", u"a.exe", nullptr, I(u"Core\\bin\\a.exe")},
      {u"Core", u"A.EXE", u"BIN", I(u"Core\\bin\\a.exe")},
      {u"Core", u"a.exe", u"other", I(u"Core\\a.exe")},  // no line with that folder
      {u"Core", u"dup.dll", nullptr, I(u"Core\\first\\dup.dll")},
      {u"Core", u"dup.dll", u"second", I(u"Core\\second\\dup.dll")},
      {u"Core", u"c.sys", nullptr, u"C:\\Windows\\system32\\drivers\\c.sys"},
      {u"Core", u"ignored.dll", nullptr, I(u"Core\\ignored.dll")},  // its section is not listed for Core: not found
      {u"Core", u"moved.dll", nullptr, I(u"Ext\\lib\\moved.dll")},
      {u"Core", u"loop.dll", nullptr, I(u"Ext\\loop.dll")},  // Core -> Extra -> Core stops at Extra
      {u"Core", u"self.dll", nullptr, I(u"Core\\self.dll")},
      {u"Core", u"", nullptr, I(u"Core\\")},
      {u"Extra", u"gone.dll", nullptr, u""},  // the compose it moved to has no description
      {u"Absent", u"a.exe", nullptr, u""},
      {u"Escape", u"a.exe", nullptr, u""},
      {u"..\\Install\\Compose\\Core", u"a.exe", nullptr, u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(engine::FindInstalledFilePath(folders_, c.compose, c.file, c.dest), c.expected)
        << base::Utf16ToUtf8(c.compose) << " / " << base::Utf16ToUtf8(c.file);
  }
}

TEST_F(InstalledPathTest, FileTargetPathById) {
  engine::Compose compose{engine::WorkPaths(folders_.install_dir)};
  compose.name = u"Core";
  compose.folder = u"Core";
  ASSERT_TRUE(compose.ini.LoadTzFile(dir_.Join(u"Install\\Compose\\Core.out")));

  FileEntry record;
  EXPECT_EQ(engine::FileTargetPathById(compose, u"Sys-c.sys", folders_, &record),
            u"C:\\Windows\\system32\\drivers\\c.sys");
  EXPECT_EQ(record.file_name, u"c.sys");
  EXPECT_EQ(record.os_mask, 0x400u);

  const struct {
    std::u16string id;
    std::u16string expected;
  } cases[] = {
      {u"Files-a.exe", I(u"Core\\bin\\a.exe")},
      {u"files-a-b.exe", I(u"Core\\a-b.exe")},  // split at the first "-"
      {u"Files", u""},
      {u"Nope-a.exe", u""},
      {u"Files-zzz.exe", u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(engine::FileTargetPathById(compose, c.id, folders_), c.expected) << base::Utf16ToUtf8(c.id);
  }
}

}  // namespace
