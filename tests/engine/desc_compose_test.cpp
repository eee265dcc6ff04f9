// Loading compose descriptions: file sections, option pairs, titles, result codes with their log
// lines, the installed folder of a compose, and the shortcut sections as read on every build.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/strings.h"
#include "engine_test_util.h"
#include "engine/compose.h"
#include "engine/engine_codes.h"
#include "engine/shortcuts.h"
#include "support/log_tail.h"
#include "support/scratch_dir.h"

namespace engine {
namespace {

using testing_support::LogTail;
using engine_test::WriteUtf16File;

std::string U8(const std::u16string& text) { return base::Utf16ToUtf8(text); }

const char kLine[] = ",,0,0,0,0,0,0,0,0,,,0,,0,0";

class DescCompose : public testing::Test {
 protected:
  DescCompose() { compose_.SetFilePath(u"Core", ComposeLocation::kSource); }
  void Write(const std::string& text) { WriteUtf16File(compose_.file_path, text); }

  testing_support::ScratchDir dir_;
  WorkPaths paths_{dir_.path()};
  Compose compose_{paths_};
};

TEST_F(DescCompose, LoadsSectionsOnceWithTheirFiles) {
  Write("[Version]\nCurVersion=0\nSize=4096\nPath=Client\n"
        "[HaveSection]\nCore=Files,Extra,files\nOther=,Extra\n"
        "[Files]\na.dll=src,bin,1,1,0,5,0,0,0,0,,,1A2B,,100,0\nb.exe=,,0,2,1,1,1,0,0,0,,,0,,200,400\n"
        "[Extra]\nc.txt=,,0,0,0,0,0,0,0,0,,,0,,0,0\n"
        "[Unlisted]\nd.txt=,,0,0,0,0,0,0,0,0,,,0,,0,0\n");
  ASSERT_EQ(compose_.LoadComposeFiles(), kOk);
  EXPECT_TRUE(compose_.info_loaded);
  EXPECT_EQ(compose_.cur_version, 1u);  // below 1 counts as 1
  EXPECT_EQ(compose_.size, 4096u);
  EXPECT_EQ(compose_.folder, u"Client");
  EXPECT_EQ(compose_.loaded_sections, (std::vector<std::u16string>{u"Files", u"Extra"}));
  ASSERT_EQ(compose_.entries.size(), 3u);
  const struct {
    const char16_t* file;
    const char16_t* section;
    uint32_t size;
  } expected[] = {{u"a.dll", u"Files", 100}, {u"b.exe", u"Files", 200}, {u"c.txt", u"Extra", 0}};
  for (size_t i = 0; i < 3; ++i) {
    const FileEntry& entry = compose_.entries[i];
    EXPECT_EQ(entry.file_name, expected[i].file);
    EXPECT_EQ(entry.section_name, expected[i].section);
    EXPECT_EQ(entry.size, expected[i].size);
    EXPECT_EQ(entry.compose_name, u"Core");
    EXPECT_EQ(entry.compose_folder, u"Client");
  }
  EXPECT_EQ(compose_.FindFile(u"B.EXE"), &compose_.entries[1]);
  EXPECT_EQ(compose_.FindFile(u"a.dll", u"BIN"), &compose_.entries[0]);
  EXPECT_EQ(compose_.FindFile(u"d.txt"), nullptr);
}

TEST_F(DescCompose, OptionPairs) {
  std::string text = std::string("[HaveSection]\nCore=F\n[F]\na.dll=") + kLine + "\nb.dll=" + kLine +
                     "\n[OptionPlugin]\n"
                     "a.dll=one\na.dll=x,y,z\nmissing.dll=p,q\nb.dll=name,value\n";
  for (int i = 1; i <= 11; ++i) text += "a.dll=clsid" + std::to_string(i) + ",v" + std::to_string(i) + "\n";
  Write(text);
  const LogTail log;
  ASSERT_EQ(compose_.LoadComposeFiles(), kOk);
  const FileEntry& a = compose_.entries[0];
  for (size_t i = 0; i < kMaxOptionPairs; ++i) {
    EXPECT_EQ(U8(a.options[i].name), "clsid" + std::to_string(i + 1));
    EXPECT_EQ(U8(a.options[i].value), "v" + std::to_string(i + 1));
  }
  EXPECT_EQ(compose_.entries[1].options[0].name, u"name");
  EXPECT_EQ(compose_.entries[1].options[0].value, u"value");
  EXPECT_EQ(compose_.entries[1].options[1].value, u"");
  EXPECT_NE(log.Text().find("waring!!! option clsid one file must least then 10, clsid=clsid11,v11"),
            std::string::npos);
}

TEST_F(DescCompose, InfoTitles) {
  compose_.attributes.texts[0].title = u"from the product";
  compose_.attributes.texts[1].detail = u"from the product";
  Write("[HaveSection]\nCore=F\n[F]\n[Info]\nTitle0409=Core parts\nDetail0404=a||b\n");
  ASSERT_EQ(compose_.LoadComposeFiles(), kOk);
  EXPECT_EQ(compose_.attributes.texts[0].title, u"");
  EXPECT_EQ(compose_.attributes.texts[1].title, u"Core parts");
  EXPECT_EQ(compose_.attributes.texts[1].detail, u"");
  EXPECT_EQ(compose_.attributes.texts[3].detail, u"a||b");

  // A grouping compose keeps what the product file said.
  Compose group(paths_);
  group.SetFilePath(u"Core", ComposeLocation::kSource);
  group.attributes.type = kComposeGroupOnly;
  group.attributes.texts[1].title = u"Group";
  EXPECT_TRUE(group.LoadComposeInfo(false));
  EXPECT_EQ(group.attributes.texts[1].title, u"Group");

  Compose missing(paths_);
  missing.SetFilePath(u"Nothing", ComposeLocation::kSource);
  EXPECT_FALSE(missing.LoadComposeInfo(true));
}

TEST_F(DescCompose, FailuresWithTheirCodesAndLogLines) {
  const std::string line = std::string("=") + kLine + "\n";
  const struct {
    const char* name;
    std::string text;  // empty: no file at all
    uint32_t code;
    size_t entries_left;
    std::string log;
  } cases[] = {
      {"missing file", "", kDescriptionLoadFailed, 0, "Error,LoadTzFile file="},
      {"no HaveSection", "[Version]\nCurVersion=2\n", kNoHaveSection, 0,
       "Error,not found HaveSection key in this file="},
      {"empty HaveSection", "[HaveSection]\n[F]\n", kEmptyHaveSection, 0, ""},
      {"missing section", "[HaveSection]\nCore=F,Nope\n[F]\na.dll" + line, kBadFileSection, 1,
       "  error: can not find \"Nope\" section ."},
      {"short line", "[HaveSection]\nCore=F\n[F]\na.dll" + line + "b.dll=,,0,0\n", kBadFileSection, 1, ""},
      {"line without key", "[HaveSection]\nCore=F\n[F]\n" + line, kBadFileSection, 0, ""},
      {"twice in the compose", "[HaveSection]\nCore=F,G\n[F]\na.dll" + line + "[G]\nA.DLL" + line,
       kBadFileSection, 1, ""},
      {"path out of the folder", "[Version]\nPath=..\\Windows\n[HaveSection]\nCore=F\n[F]\n", kBadFileSection, 0,
       ""},
  };
  for (const auto& c : cases) {
    compose_.SetFilePath(c.text.empty() ? u"Absent" : u"Core", ComposeLocation::kSource);
    if (!c.text.empty()) Write(c.text);
    testing::internal::CaptureStdout();
    const LogTail log;
    EXPECT_EQ(compose_.LoadComposeFiles(), c.code) << c.name;
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(compose_.entries.size(), c.entries_left) << c.name;
    EXPECT_FALSE(compose_.info_loaded) << c.name;
    if (!c.log.empty()) {
      EXPECT_NE(log.Text().find(c.log), std::string::npos) << c.name << "\n" << log.Text();
    }
  }
}

TEST_F(DescCompose, InstalledFolder) {
  const std::u16string installed = paths_.ComposeFilePath(u"Core", ComposeLocation::kInstalled);
  const struct {
    const char* text;  // null: no file
    const char16_t* suffix;
    std::u16string dir;
  } cases[] = {
      {nullptr, u"a.dll", u""},
      {"[Version]\nCurVersion=1\n", u"a.dll", u""},
      {"[Version]\nPath=Client\\Bin\n", u"a.dll", paths_.InstallDir(u"Client\\Bin\\a.dll")},
      {"[Version]\nPath=Client\n", u"", paths_.InstallDir(u"Client\\")},
      {"[Version]\nPath=\n", u"a.dll", paths_.InstallDir(u"a.dll")},
      {"[Version]\nPath=..\\..\n", u"a.dll", u""},
  };
  for (const auto& c : cases) {
    if (c.text) WriteUtf16File(installed, c.text);
    EXPECT_EQ(U8(ComposeInstallDir(paths_, u"Core.x64", c.suffix)), U8(c.dir)) << (c.text ? c.text : "no file");
  }
}

TEST(ShortcutSectionsTest, EntriesInOrderWithTitleKeyPositionAndParents) {
  app::CIniReader ini;
  const std::vector<unsigned char> bytes = testing_support::Utf16Bytes(base::Utf8ToUtf16(
      "[Shortcut]\nB=app-b.exe\nA=app-a.exe\nC=c\nD=d\n[shortcuttitle]\nb0804=标题\nb000a=Título\n"
      "[ShortcutParam]\nB=-x \"y z\" /q\n[ShortcutParent]\nB=f1,f2\n"
      "[ShortcutPosition]\nb=onDESKTOP,Programes\nA=programs\nC=start\nD=PROGRAMES\n"));
  ini.ParseBuffer(bytes.data() + 2, bytes.size() - 2);
  const std::vector<ShortcutEntry> entries = ReadShortcutEntries(ini, 0x0804);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].id + u"," + entries[0].target + u"," + entries[0].title + u"," + entries[0].arguments + u"," +
                entries[0].parents,
            u"B,app-b.exe,标题,-x \"y z\" /q,f1,f2");
  const uint32_t positions[] = {kShortcutDesktop | kShortcutPrograms, 0, 0, kShortcutPrograms};
  for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].position, positions[i]) << i;
  EXPECT_EQ(entries[1].title, u"");  // no title in this language
  EXPECT_EQ(ReadShortcutEntries(ini, 0x000A)[0].title, u"Título");  // key "b000a": lower-case hex
}

}  // namespace
}  // namespace engine
