// The shortcut sections of a description as read, on every build.
#include <gtest/gtest.h>

#include "engine/shortcuts.h"
#include "engine_test_util.h"

namespace {

TEST(ShortcutSectionsTest, PositionBits) {
  const struct {
    const char16_t* position;
    uint32_t bits;
  } cases[] = {
      {u"Desktop,Programes", engine::kShortcutDesktop | engine::kShortcutPrograms},
      {u"onDESKTOPonly", engine::kShortcutDesktop},
      {u"programes", engine::kShortcutPrograms},
      {u"programs", 0},  // the format's own spelling only
      {u"start", 0},
      {u"", 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(engine::ShortcutPositionBits(c.position), c.bits) << base::Utf16ToUtf8(c.position);
  }
}

TEST(ShortcutSectionsTest, TitleKeyIsTheIdAndFourLowerCaseHexDigits) {
  EXPECT_EQ(engine::ShortcutTitleKey(u"main", 2052), u"main0804");
  EXPECT_EQ(engine::ShortcutTitleKey(u"main", 0x000A), u"main000a");
  EXPECT_EQ(engine::ShortcutTitleKey(u"", 0xBEEF), u"beef");
}

TEST(ShortcutSectionsTest, EntriesInOrderWithTheirSectionsAndLanguage) {
  app::CIniReader ini;
  const std::vector<unsigned char> bytes = engine_test::Utf16FileBytes(
      "[Shortcut]\nB=app-b.exe\nA=app-a.exe\n"
      "[shortcuttitle]\nb0804=标题\nb0409=Title\na0409=Only English\n"
      "[ShortcutParam]\nB=-x \"y z\" /q\n"
      "[ShortcutPosition]\nb=Desktop\n"
      "[ShortcutParent]\nB=f1,f2\n");
  ini.ParseBuffer(bytes.data() + 2, bytes.size() - 2);

  const std::vector<engine::ShortcutEntry> chinese = engine::ReadShortcutEntries(ini, 0x0804);
  ASSERT_EQ(chinese.size(), 2u);
  EXPECT_EQ(chinese[0].id, u"B");
  EXPECT_EQ(chinese[0].target, u"app-b.exe");
  EXPECT_EQ(chinese[0].title, u"标题");
  EXPECT_EQ(chinese[0].arguments, u"-x \"y z\" /q");
  EXPECT_EQ(chinese[0].position, engine::kShortcutDesktop);
  EXPECT_EQ(chinese[0].parents, u"f1,f2");
  EXPECT_EQ(chinese[1].id, u"A");
  EXPECT_EQ(chinese[1].title, u"");  // no title in this language
  EXPECT_EQ(chinese[1].position, 0u);

  EXPECT_EQ(engine::ReadShortcutEntries(ini, 0x0409)[1].title, u"Only English");
  EXPECT_TRUE(engine::ReadShortcutEntries(app::CIniReader(), 0x0804).empty());
}

}  // namespace
