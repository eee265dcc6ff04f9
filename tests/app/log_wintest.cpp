// String-resource texts in the log: a copy of the log_writer helper gets a string table of its
// own through the platform's resource update calls, and logs identifiers from it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "log_test_util.h"
#include "platform/system.h"
#include "platform/win/wstr.h"
#include "support/programs.h"
#include "support/scratch_dir.h"

namespace {

using platform::as_wcstr;

TEST(LogResources, IdentifiersAreLoadedFromTheProgramsStringTable) {
  testing_support::ScratchDir scratch;
  const std::u16string program = scratch.Join(u"log_res_writer.exe");
  ASSERT_TRUE(CopyFileW(as_wcstr(testing_support::ProgramBeside(u"log_writer")), as_wcstr(program), FALSE));

  // Block 7 holds identifiers 96 to 111, each a counted UTF-16 text: 100 and 101 are set.
  std::vector<WORD> block;
  for (int id = 96; id < 112; ++id) {
    const std::u16string text = id == 100 ? u"resource text" : id == 101 ? u"part," : u"";
    block.push_back(static_cast<WORD>(text.size()));
    block.insert(block.end(), text.begin(), text.end());
  }
  HANDLE update = BeginUpdateResourceW(as_wcstr(program), FALSE);
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(7),
                              MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), block.data(),
                              static_cast<DWORD>(block.size() * sizeof(WORD))));
  ASSERT_TRUE(EndUpdateResourceW(update, FALSE));

  const std::u16string log = platform::WindowsDirectory() + u"\\NorvLog\\log_res_writer.exe.log";
  DeleteFileW(as_wcstr(log));
  ASSERT_EQ(testing_support::RunProgram(program, {u"--text", u"#100", u"--two", u"#101", u"tail", u"--three", u"a",
                                                  u"#100", u"c", u"--two", u"#102", u"x"}),
            0);
  EXPECT_EQ(log_test::Normalize(testing_support::ReadText(log)),
            log_test::kHeader + "S resource text \r\nS part,tail \r\nS aresource textc \r\nS x \r\n");
  DeleteFileW(as_wcstr(log));
}

}  // namespace
