// String-resource texts in the log: a copy of the log_writer helper gets a string table of its
// own, added with the platform's resource update calls, and logs identifiers from it.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "log_test_util.h"
#include "platform/win/wstr.h"
#include "support/scratch_dir.h"

namespace {

using namespace log_test;
using platform::as_wcstr;

// One block of the string table: identifiers (block - 1) * 16 to (block - 1) * 16 + 15, each a
// counted UTF-16 string; an empty one is a zero count.
std::vector<WORD> StringBlock(const std::vector<std::u16string>& strings) {
  std::vector<WORD> block;
  for (size_t i = 0; i < 16; ++i) {
    const std::u16string s = i < strings.size() ? strings[i] : std::u16string();
    block.push_back(static_cast<WORD>(s.size()));
    block.insert(block.end(), s.begin(), s.end());
  }
  return block;
}

TEST(LogResources, IdentifiersAreLoadedFromTheProgramsStringTable) {
  testing_support::ScratchDir scratch;
  const std::u16string program = scratch.Join(u"log_res_writer.exe");
  ASSERT_TRUE(CopyFileW(as_wcstr(HelperPath()), as_wcstr(program), FALSE));

  // Identifiers 96 to 111 form block 7; 100 and 101 are set, 102 stays empty.
  const std::vector<WORD> block = StringBlock({u"", u"", u"", u"", u"resource text", u"\u2603 part,"});
  HANDLE update = BeginUpdateResourceW(as_wcstr(program), FALSE);
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(7),
                              MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), const_cast<WORD*>(block.data()),
                              static_cast<DWORD>(block.size() * sizeof(WORD))));
  ASSERT_TRUE(EndUpdateResourceW(update, FALSE));

  const std::u16string log = platform::WindowsDirectory() + u"\\NorvLog\\log_res_writer.exe.log";
  DeleteFileW(as_wcstr(log));
  ASSERT_EQ(RunProgram(program, {"--text", "#100", "--two", "#101", "tail", "--three", "a", "#100", "c",
                                 "--two", "#102", "x"}),
            0);
  EXPECT_EQ(Normalize(ReadWholeFile(log)),
            kHeader + "S resource text \r\nS ? part,tail \r\nS aresource textc \r\nS x \r\n");
  DeleteFileW(as_wcstr(log));
}

}  // namespace
