// The log as a user finds it on disk, written by fresh processes of the log_writer helper so that
// each test controls the process's first call (the run header). On Windows (Wine) the file is the
// real "<Windows folder>\NorvLog\log_writer.exe.log"; on the host the helper's base folder is a
// scratch folder given as TMPDIR.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/fs.h"
#include "platform/system.h"
#include "log_test_util.h"
#include "support/scratch_dir.h"

namespace {

using testing_support::ScratchDir;
using namespace log_test;

class LogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    platform::DeleteFileAt(LogPath());
    ASSERT_FALSE(platform::PathExists(LogPath()));
  }
  void TearDown() override { platform::DeleteFileAt(LogPath()); }

#ifdef _WIN32
  std::u16string LogFolder() const { return platform::WindowsDirectory() + u"\\NorvLog\\"; }
  std::u16string LogPath() const { return LogFolder() + u"log_writer.exe.log"; }
  int Run(const std::vector<std::string>& args) const { return RunProgram(HelperPath(), args); }
#else
  std::u16string LogFolder() const { return scratch_.path() + u"/NorvLog/"; }
  std::u16string LogPath() const { return LogFolder() + u"log_writer.log"; }
  int Run(const std::vector<std::string>& args) const { return RunProgram(HelperPath(), args, scratch_.path()); }
#endif

  std::string ReadLog() const { return ReadWholeFile(LogPath()); }

  ScratchDir scratch_;
};

TEST_F(LogTest, EntryPointsWriteTheirLinesByteForByte) {
  ASSERT_EQ(Run({"--text", "first",                                      //
                 "--api", "5", "--mod", "-1", "--text", "second",        //
                 "--mod", "7", "--narrow", "third",                      //
                 "--api", "0x12345678", "--narrow", "no text for this",  //
                 "--two", "<null>", "tail", "--two", "head,", "<null>",  //
                 "--api", "5", "--two", "a=", "b",                       //
                 "--three", "a", "b", "c", "--three", "a", "<null>", "c",  //
                 "--narrow3", "x", "y", "z", "--narrow3", "x", "<null>", "z",  //
                 "--text", "<null>", "--narrow", "<null>", "--text", ""}),
            0);
  const std::string want = kHeader +                                                 //
                           "S first \r\n" +                                          //
                           "S second \r\n" +                                         //
                           "S APICode : 0x00000005 " + SystemText(5) + " \r\n" +     //
                           "S modCode : -1 \r\n" +                                   //
                           "S third \r\n" +                                          //
                           "S modCode : 7 \r\n" +                                    //
                           "S no text for this \r\n" +                               //
                           "S APICode : 0x12345678 \r\n" +                           //
                           "S tail \r\n" +                                           //
                           "S head, \r\n" +                                          //
                           "S a=b \r\n" +                                            //
                           "S APICode : 0x00000005 " + SystemText(5) + " \r\n" +     //
                           "S abc \r\n" +                                            //
                           "S xyz \r\n" +                                            //
                           "S  \r\n";
  EXPECT_EQ(Normalize(ReadLog()), want);
}

TEST_F(LogTest, EachProcessWritesOneRunHeader) {
  ASSERT_EQ(Run({"--text", "one", "--text", "two"}), 0);
  ASSERT_EQ(Run({"--text", "three"}), 0);
  EXPECT_EQ(Normalize(ReadLog()), kHeader + "S one \r\nS two \r\n" + kHeader + "S three \r\n");
}

TEST_F(LogTest, TheFolderIsCreatedWhenMissing) {
#ifdef _WIN32
  GTEST_SKIP() << "the Windows folder's NorvLog is shared with the running test program";
#else
  ASSERT_FALSE(platform::PathExists(LogFolder()));
  ASSERT_EQ(Run({"--text", "made"}), 0);
  EXPECT_TRUE(platform::IsDirectory(LogFolder()));
  EXPECT_EQ(Normalize(ReadLog()), kHeader + "S made \r\n");
#endif
}

TEST_F(LogTest, AFolderThatCannotBeMadeDropsEveryEntryQuietly) {
#ifdef _WIN32
  GTEST_SKIP() << "the Windows folder cannot be moved for one process";
#else
  // Only the last level is created: under a missing parent, nothing is written and nothing fails.
  const std::u16string base = scratch_.Join(u"missing/parent");
  EXPECT_EQ(RunProgram(HelperPath(), {"--text", "lost", "--api", "5", "--text", "lost too"}, base), 0);
  EXPECT_FALSE(platform::PathExists(scratch_.Join(u"missing")));
#endif
}

TEST_F(LogTest, SizeLimitKeepsExactlyTheLimitAndRestartsOneBytePast) {
  struct Case {
    size_t existing;
    bool kept;
  } cases[] = {{460799, true}, {460800, true}, {460801, false}, {600000, false}};
  for (const Case& c : cases) {
    const std::string old(c.existing, '.');
    platform::CreateDirectoryOne(LogFolder());
    testing_support::WriteText(LogPath(), old);
    ASSERT_EQ(Run({"--text", "next"}), 0);
    const std::string log = ReadLog();
    const std::string entry = kHeader + "S next \r\n";
    if (c.kept) {
      ASSERT_GT(log.size(), old.size()) << c.existing;
      EXPECT_EQ(log.substr(0, old.size()), old) << c.existing;
      EXPECT_EQ(Normalize(log.substr(old.size())), entry) << c.existing;
    } else {
      EXPECT_EQ(Normalize(log), entry) << c.existing;
    }
  }
}

TEST_F(LogTest, ARestartWithinARunHasNoHeader) {
  // The file passes the limit in the middle of a run: the next entry starts a new file, and the
  // header, already written in this process, is not repeated.
  ASSERT_EQ(Run({"--text", "one", "--fill", "460801", "--text", "two", "--text", "three"}), 0);
  EXPECT_EQ(Normalize(ReadLog()), "S two \r\nS three \r\n");
}

TEST_F(LogTest, FormatIsBoundedAndKnowsOnlyItsConversions) {
  ASSERT_EQ(Run({"--format", "--format-long", "2047", "--format-long", "5000"}), 0);
  const std::string full(2047, 'x');
  EXPECT_EQ(Normalize(ReadLog()),
            kHeader + "S msg,name,-7,0x000000ff,narrow,%5.1f \r\n" + "S " + full + " \r\n" + "S " + full + " \r\n");
}

TEST_F(LogTest, TwoThreadsMakingTheFirstCallWriteOneHeader) {
  for (int round = 0; round < 5; ++round) {
    platform::DeleteFileAt(LogPath());
    ASSERT_EQ(Run({"--race", "4", "hi"}), 0);
    std::string want = kHeader;
    for (int i = 0; i < 4; ++i) want += "S hi \r\n";
    ASSERT_EQ(Normalize(ReadLog()), want) << "round " << round;
  }
}

TEST_F(LogTest, CharactersOutsideTheCodePageBecomeTheDefaultCharacter) {
  // U+2603 (a snowman) is in no ANSI code page; their default character is '?'. On the host the
  // "ANSI" text is UTF-8.
  ASSERT_EQ(Run({"--text", "snow\\u2603man", "--two", "\\u2603", "x"}), 0);
#ifdef _WIN32
  EXPECT_EQ(Normalize(ReadLog()), kHeader + "S snow?man \r\nS ?x \r\n");
#else
  EXPECT_EQ(Normalize(ReadLog()), kHeader + "S snow\xE2\x98\x83man \r\nS \xE2\x98\x83x \r\n");
#endif
}

TEST_F(LogTest, AResourceIdThatCannotBeLoadedGivesAnEmptyText) {
  ASSERT_EQ(Run({"--text", "#0xFFF0", "--mod", "3", "--text", "#0xFFF1"}), 0);
  EXPECT_EQ(Normalize(ReadLog()), kHeader + "S  \r\nS  \r\nS modCode : 3 \r\n");
}

}  // namespace
