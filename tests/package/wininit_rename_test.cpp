#include "package/wininit_rename.h"

#include <gtest/gtest.h>

#include <string>

#include "package/package_test_files.h"

namespace {

using package::AddWininitRenameLine;
using package::ScheduleInWininit;
using package::WininitRenameLine;
using package_test::ReadText;
using testing_support::ScratchDir;
using testing_support::WriteText;

TEST(WininitRename, LineNamesDestinationThenSource) {
  EXPECT_EQ(WininitRenameLine("C:\\PROGRA~1\\NORV\\A.DLL", "C:\\PROGRA~1\\NORV\\A.TMP"),
            "C:\\PROGRA~1\\NORV\\A.DLL=C:\\PROGRA~1\\NORV\\A.TMP\r\n");
  EXPECT_EQ(WininitRenameLine("", "C:\\NORV\\A.REN"), "NUL=C:\\NORV\\A.REN\r\n");
}

TEST(WininitRename, LineGoesIntoTheFirstRenameSection) {
  const std::string line = "NUL=C:\\A.REN\r\n";
  const struct {
    const char* what;
    std::string before;
    std::string after;
    bool changed;
  } cases[] = {
      {"empty file", "", "[rename]\r\n" + line, true},
      {"no section: one is put in front", "[boot]\r\nx=1\r\n", "[rename]\r\n" + line + "[boot]\r\nx=1\r\n", true},
      {"after the header, before older lines", "[rename]\r\nNUL=C:\\OLD.REN\r\n",
       "[rename]\r\n" + line + "NUL=C:\\OLD.REN\r\n", true},
      {"the first of two sections", "[x]\r\n[rename]\r\n[rename]\r\n", "[x]\r\n[rename]\r\n" + line + "[rename]\r\n",
       true},
      {"already there: unchanged", "[rename]\r\nA=B\r\n" + line, "[rename]\r\nA=B\r\n" + line, false},
      {"a longer line ending alike is another operation", "[rename]\r\nXNUL=C:\\A.REN\r\n",
       "[rename]\r\n" + line + "XNUL=C:\\A.REN\r\n", true},
      {"a header without CR LF is no header", "[rename]", "[rename]\r\n" + line + "[rename]", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    bool changed = !c.changed;
    EXPECT_EQ(AddWininitRenameLine(c.before, line, &changed), c.after);
    EXPECT_EQ(changed, c.changed);
  }
}

TEST(WininitRename, SchedulingKeepsOtherContentAndAddsEachLineOnce) {
  ScratchDir dir;
  const std::u16string path = dir.Join(u"wininit.ini");
  const std::string line = WininitRenameLine("", "C:\\NORV\\A.REN");
  ASSERT_TRUE(ScheduleInWininit(path, line));  // creates the file
  EXPECT_EQ(ReadText(path), "[rename]\r\n" + line);
  ASSERT_TRUE(ScheduleInWininit(path, line));
  EXPECT_EQ(ReadText(path), "[rename]\r\n" + line);

  const std::string other = WininitRenameLine("C:\\NORV\\B.DLL", "C:\\NORV\\B.TMP");
  WriteText(path, "; written by another setup\r\n[boot]\r\nshell=x\r\n");
  ASSERT_TRUE(ScheduleInWininit(path, other));
  EXPECT_EQ(ReadText(path), "[rename]\r\n" + other + "; written by another setup\r\n[boot]\r\nshell=x\r\n");

  EXPECT_FALSE(ScheduleInWininit(dir.Join(u"missing-folder\\wininit.ini"), "NUL=X\r\n"));
  // A folder where the file should be can be neither read nor created.
  EXPECT_FALSE(ScheduleInWininit(dir.path(), "NUL=X\r\n"));
}

}  // namespace
