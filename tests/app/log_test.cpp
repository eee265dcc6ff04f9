// The log as a user finds it on disk, written by fresh processes of the log_writer helper so that
// each test controls the process's first call (the run header). On Windows (Wine) the file is the
// real "<Windows folder>\NorvLog\log_writer.exe.log"; on the host the helper's base folder is a
// scratch folder given as TMPDIR.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>

#include "platform/win/wstr.h"
#endif

#include <regex>
#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/system.h"
#include "support/programs.h"
#include "support/scratch_dir.h"

namespace {

using testing_support::ReadText;

const std::string kHeader = "\r\nS " + std::string(70, '=') + "\r\n";

// The log's text with the stamp "YYYY-MM-DD hh:mm:ss" that opens each line replaced by "S"; a
// line that should start with a stamp but does not stays as it is, so that the comparison shows it.
std::string Normalize(const std::string& text) {
  static const std::regex stamp("(^|\r\n)\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d");
  return std::regex_replace(text, stamp, "$1S");
}

std::string SystemText(uint32_t code) {
  std::string text;
  EXPECT_TRUE(platform::SystemMessageText(code, &text)) << code;
  return text;
}

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override { platform::DeleteFileAt(LogPath()); }
  void TearDown() override { platform::DeleteFileAt(LogPath()); }

#ifdef _WIN32
  std::u16string LogFolder() const { return platform::WindowsDirectory() + u"\\NorvLog\\"; }
  std::u16string LogPath() const { return LogFolder() + u"log_writer.exe.log"; }
#else
  std::u16string LogFolder() const { return scratch_.path() + u"/NorvLog/"; }
  std::u16string LogPath() const { return LogFolder() + u"log_writer.log"; }
#endif
  int Run(const std::vector<std::u16string>& args, const std::u16string& tmpdir = u"") const {
    return testing_support::RunProgram(testing_support::ProgramBeside(u"log_writer"), args,
                                       tmpdir.empty() ? scratch_.path() : tmpdir);
  }
  std::string Log() const { return Normalize(ReadText(LogPath())); }

  testing_support::ScratchDir scratch_;
};

TEST_F(LogTest, EntryPointsWriteTheirLinesByteForByte) {
  ASSERT_EQ(Run({u"--text", u"first", u"--api", u"5", u"--mod", u"-1", u"--text", u"second",      //
                 u"--mod", u"7", u"--narrow", u"third", u"--api", u"0x12345678", u"--narrow", u"no text",  //
                 u"--two", u"<null>", u"tail", u"--two", u"head,", u"<null>", u"--api", u"5", u"--two", u"a=", u"b",
                 u"--three", u"a", u"b", u"c", u"--three", u"a", u"<null>", u"c",                    //
                 u"--narrow3", u"x", u"y", u"z", u"--narrow3", u"x", u"<null>", u"z",                //
                 u"--text", u"<null>", u"--narrow", u"<null>", u"--text", u"",                       //
                 u"--format", u"--format-long", u"2047", u"--format-long", u"5000",                  //
                 u"--text", u"#0xFFF0", u"--mod", u"3", u"--text", u"#0xFFF1",                       //
                 u"--text", u"snow\\u2603man", u"--two", u"\\u2603", u"x"}),
            0);
  // U+2603 is in no ANSI code page, whose default character is '?'; the host's "ANSI" is UTF-8.
#ifdef _WIN32
  const std::string snow = "?";
#else
  const std::string snow = "\xE2\x98\x83";
#endif
  const std::string full(2047, 'x');
  EXPECT_EQ(Log(), kHeader + "S first \r\nS second \r\nS APICode : 0x00000005 " + SystemText(5) +
                       " \r\nS modCode : -1 \r\nS third \r\nS modCode : 7 \r\nS no text \r\n"
                       "S APICode : 0x12345678 \r\nS tail \r\nS head, \r\nS a=b \r\nS APICode : 0x00000005 " +
                       SystemText(5) + " \r\nS abc \r\nS xyz \r\nS  \r\n" +
                       "S msg,name,-7,0x000000ff,narrow,%5.1f \r\nS " + full + " \r\nS " + full + " \r\n" +
                       "S  \r\nS  \r\nS modCode : 3 \r\n" +  // resources that cannot be loaded
                       "S snow" + snow + "man \r\nS " + snow + "x \r\n");
}

TEST_F(LogTest, EachProcessWritesOneRunHeaderAndTheFolderIsMadeWhenMissing) {
#ifndef _WIN32
  ASSERT_FALSE(platform::PathExists(LogFolder()));
#endif
  ASSERT_EQ(Run({u"--text", u"one", u"--text", u"two"}), 0);
  ASSERT_EQ(Run({u"--text", u"three"}), 0);
  EXPECT_EQ(Log(), kHeader + "S one \r\nS two \r\n" + kHeader + "S three \r\n");
}

#ifndef _WIN32
// Only the last level is made: under a missing parent, nothing is written and nothing fails.
TEST_F(LogTest, AFolderThatCannotBeMadeDropsEveryEntryQuietly) {
  EXPECT_EQ(Run({u"--text", u"lost", u"--api", u"5", u"--text", u"lost too"}, scratch_.Join(u"missing/parent")), 0);
  EXPECT_FALSE(platform::PathExists(scratch_.Join(u"missing")));
}
#endif

TEST_F(LogTest, SizeLimitKeepsExactlyTheLimitAndRestartsOneBytePast) {
  for (const size_t existing : {460800, 460801}) {
    const std::string old(existing, '.');
    platform::CreateDirectoryOne(LogFolder());
    testing_support::WriteText(LogPath(), old);
    ASSERT_EQ(Run({u"--text", u"next"}), 0);
    const std::string kept = existing == 460800 ? old : "";
    EXPECT_EQ(Log(), kept + kHeader + "S next \r\n") << existing;
  }
  // Passing the limit within a run starts a new file without a second header.
  ASSERT_EQ(Run({u"--text", u"one", u"--fill", u"460801", u"--text", u"two", u"--text", u"three"}), 0);
  EXPECT_EQ(Log(), "S two \r\nS three \r\n");
}

TEST_F(LogTest, TwoThreadsMakingTheFirstCallWriteOneHeader) {
  for (int round = 0; round < 5; ++round) {
    platform::DeleteFileAt(LogPath());
    ASSERT_EQ(Run({u"--race", u"4", u"hi"}), 0);
    ASSERT_EQ(Log(), kHeader + "S hi \r\nS hi \r\nS hi \r\nS hi \r\n") << "round " << round;
  }
}

#ifdef _WIN32
// A copy of the helper gets a string table of its own through the platform's resource update
// calls, and logs identifiers from it.
TEST_F(LogTest, IdentifiersAreLoadedFromTheProgramsStringTable) {
  const std::u16string program = scratch_.Join(u"log_res_writer.exe");
  ASSERT_TRUE(platform::CopyFileOverwriting(testing_support::ProgramBeside(u"log_writer"), program));
  // Block 7 holds identifiers 96 to 111, each a counted UTF-16 text: 100 and 101 are set.
  std::vector<WORD> block;
  for (int id = 96; id < 112; ++id) {
    const std::u16string text = id == 100 ? u"resource text" : id == 101 ? u"part," : u"";
    block.push_back(static_cast<WORD>(text.size()));
    block.insert(block.end(), text.begin(), text.end());
  }
  HANDLE update = BeginUpdateResourceW(platform::as_wcstr(program), FALSE);
  ASSERT_NE(update, nullptr);
  ASSERT_TRUE(UpdateResourceW(update, MAKEINTRESOURCEW(6), MAKEINTRESOURCEW(7),
                              MAKELANGID(LANG_NEUTRAL, SUBLANG_NEUTRAL), block.data(),
                              static_cast<DWORD>(block.size() * sizeof(WORD))));
  ASSERT_TRUE(EndUpdateResourceW(update, FALSE));

  const std::u16string log = LogFolder() + u"log_res_writer.exe.log";
  platform::DeleteFileAt(log);
  ASSERT_EQ(testing_support::RunProgram(program, {u"--text", u"#100", u"--two", u"#101", u"tail", u"--three", u"a",
                                                  u"#100", u"c", u"--two", u"#102", u"x"}),
            0);
  EXPECT_EQ(Normalize(ReadText(log)), kHeader + "S resource text \r\nS part,tail \r\nS aresource textc \r\nS x \r\n");
  platform::DeleteFileAt(log);
}
#endif

}  // namespace
