// The shortcut sections of a description as read, on every build.
#include <gtest/gtest.h>

#include "engine/shortcuts.h"
#include "engine_test_util.h"

namespace {

TEST(ShortcutSectionsTest, EntriesInOrderWithTitleKeyPositionAndParents) {
  app::CIniReader ini;
  const std::vector<unsigned char> bytes = testing_support::Utf16Bytes(base::Utf8ToUtf16(
      "[Shortcut]\nB=app-b.exe\nA=app-a.exe\nC=c\nD=d\n[shortcuttitle]\nb0804=标题\nb000a=Título\n"
      "[ShortcutParam]\nB=-x \"y z\" /q\n[ShortcutParent]\nB=f1,f2\n"
      "[ShortcutPosition]\nb=onDESKTOP,Programes\nA=programs\nC=start\nD=PROGRAMES\n"));
  ini.ParseBuffer(bytes.data() + 2, bytes.size() - 2);
  const std::vector<engine::ShortcutEntry> entries = engine::ReadShortcutEntries(ini, 0x0804);
  ASSERT_EQ(entries.size(), 4u);
  EXPECT_EQ(entries[0].id + u"," + entries[0].target + u"," + entries[0].title + u"," + entries[0].arguments + u"," +
                entries[0].parents,
            u"B,app-b.exe,标题,-x \"y z\" /q,f1,f2");
  const uint32_t positions[] = {engine::kShortcutDesktop | engine::kShortcutPrograms, 0, 0, engine::kShortcutPrograms};
  for (size_t i = 0; i < entries.size(); ++i) EXPECT_EQ(entries[i].position, positions[i]) << i;
  EXPECT_EQ(entries[1].title, u"");  // no title in this language
  EXPECT_EQ(engine::ReadShortcutEntries(ini, 0x000A)[0].title, u"Título");  // key "b000a": lower-case hex
}

}  // namespace
