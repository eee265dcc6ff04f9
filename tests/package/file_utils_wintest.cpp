// Replacement at restart and the root guard on a real Windows file system and registry (Wine).
// The delayed moves land in "PendingFileRenameOperations" under the Session Manager key, which
// each test puts back as it found it.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "base/strings.h"
#include "package/file_utils.h"
#include "platform/restart.h"
#include "support/message_box_recorder.h"
#include "support/pending_file_renames.h"
#include "support/programs.h"
#include "support/saved_registry_value.h"
#include "support/scratch_dir.h"

namespace {

using testing_support::Exists;
using testing_support::ReadText;
using testing_support::ScratchDir;
using testing_support::WriteText;

const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
std::u16string ShortName(const std::u16string& path) { return platform::ShortPathName(path); }
std::string Lower(const std::u16string& path) { return base::Utf16ToUtf8(base::ToLowerAscii(path)); }

// The destination scheduled for path, without "\\??\\" and a replacing "!", in lower case (empty
// for a deletion); "none" when nothing is scheduled for it.
std::string PendingDestination(const std::u16string& path) {
  const std::vector<testing_support::PendingOperation> ops = testing_support::PendingOperations();
  const testing_support::PendingOperation* op = testing_support::FindPending(ops, path);
  if (!op) return "none";
  std::u16string destination = op->destination;
  if (!destination.empty() && destination[0] == u'!') destination.erase(0, 1);
  if (destination.rfind(u"\\??\\", 0) == 0) destination.erase(0, 4);
  return Lower(destination);
}

class RestartReplacement : public ::testing::Test {
 protected:
  void TearDown() override {
    if (!other_drive_.empty()) {
      DeleteFileW(W(other_drive_ + u"\\src.dll"));
      RemoveDirectoryW(W(other_drive_));
    }
  }

  testing_support::SavedRegistryValue pending_{testing_support::kSessionManager, testing_support::kPendingValue};
  ScratchDir dir_;
  std::u16string other_drive_;
};

TEST_F(RestartReplacement, TzRestartDeleteFileRenamesAndSchedulesTheDeletion) {
  const std::u16string program = dir_.Join(u"prog.exe");
  WriteText(program, "new");
  WriteText(program + u".ren", "old");
  ASSERT_TRUE(package::TzRestartDeleteFile(program.c_str()));
  EXPECT_FALSE(Exists(program));
  EXPECT_EQ(ReadText(program + u".ren"), "new");  // the older ".ren" was replaced

  EXPECT_EQ(PendingDestination(program + u".ren"), "");
}

TEST_F(RestartReplacement, SmartMoveOnOneDriveSchedulesTheShortSource) {
  const std::u16string source = dir_.Join(u"new-library-version.dll");
  const std::u16string target = dir_.Join(u"library.dll");
  WriteText(source, "N");
  // The drive letter in another case is still the same drive: no copy.
  std::u16string source_other_case = source;
  source_other_case[0] = static_cast<char16_t>(source_other_case[0] ^ 0x20);
  ASSERT_TRUE(package::__smartmovefile(source_other_case.c_str(), target.c_str(), 4));
  EXPECT_FALSE(Exists(target + u".tmp"));
  EXPECT_FALSE(Exists(target));  // nothing moves before the restart

  EXPECT_EQ(PendingDestination(ShortName(source_other_case)), Lower(target));
}

TEST_F(RestartReplacement, SmartMoveAcrossDrivesCopiesNextToTheDestinationFirst) {
  // Z: is the Unix root under Wine, C: the prefix's drive: two drives.
  wchar_t temp[MAX_PATH];
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  ASSERT_NE(towupper(temp[0]), L'Z') << "the scratch folder must not lie on Z:";
  other_drive_ = u"Z:\\tmp\\norv-smartmove-" + base::NumberToUtf16(GetCurrentProcessId());
  ASSERT_TRUE(CreateDirectoryW(W(other_drive_), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS);
  const std::u16string source = other_drive_ + u"\\src.dll";
  WriteText(source, "payload");
  const std::u16string target = dir_.Join(u"app.dll");

  ASSERT_TRUE(package::__smartmovefile(source.c_str(), target.c_str(), 4));
  EXPECT_EQ(ReadText(target + u".tmp"), "payload");
  EXPECT_EQ(ReadText(source), "payload");  // the original stays where it was

  EXPECT_EQ(PendingDestination(ShortName(target + u".tmp")), Lower(target));
  EXPECT_EQ(PendingDestination(ShortName(source)), "none");

  // A copy that cannot be made fails the move and leaves no temporary file.
  const std::u16string second = dir_.Join(u"second.dll");
  EXPECT_FALSE(package::__smartmovefile(u"Z:\\no\\such\\file.dll", second.c_str(), 4));
  EXPECT_FALSE(Exists(second + u".tmp"));
}

// Runs a host program through Wine (which does not wait for it) until done() holds.
bool RunHostProgram(const std::vector<std::string>& argv, const std::function<bool()>& done) {
  return testing_support::StartHostProgram(argv) && testing_support::WaitFor(done);
}

// A drive letter whose root is a scratch folder, so that a failing guard would only empty the
// scratch folder. Wine keeps its drive letters as symbolic links in "<prefix>/dosdevices"
// (DefineDosDevice does not reach its file name lookup), so the link is made there.
class DriveRootGuard : public ::testing::Test {
 protected:
  void SetUp() override {
    CreateDirectoryW(W(dir_.Join(u"keep")), nullptr);
    WriteText(dir_.Join(u"keep\\file.txt"), "x");
    WriteText(dir_.Join(u"top.txt"), "y");
    const std::string folder = testing_support::HostPath(dir_.path());
    char prefix[1024];
    const DWORD n = GetEnvironmentVariableA("WINEPREFIX", prefix, sizeof(prefix));
    if (folder.empty() || n == 0 || n >= sizeof(prefix)) GTEST_SKIP() << "needs Wine with WINEPREFIX set";
    for (wchar_t letter = L'Q'; letter <= L'Y' && drive_.empty(); ++letter) {
      const std::wstring root = {letter, L':', L'\\'};
      if (GetDriveTypeW(root.c_str()) != DRIVE_NO_ROOT_DIR) continue;  // in use
      const std::string link = std::string(prefix) + "/dosdevices/" + static_cast<char>(towlower(letter)) + ":";
      const std::u16string drive = {static_cast<char16_t>(letter), u':'};
      // -f replaces a link left behind by an earlier run that was killed.
      if (RunHostProgram({"/bin/ln", "-sfn", folder, link}, [&] { return Exists(drive + u"\\top.txt"); })) {
        drive_ = drive;
        link_ = link;
      } else {
        testing_support::StartHostProgram({"/bin/rm", "-f", link});
      }
    }
    if (drive_.empty()) GTEST_SKIP() << "no drive letter could be mapped";
  }
  void TearDown() override {
    if (link_.empty()) return;
    RunHostProgram({"/bin/rm", "-f", link_}, [&] { return !Exists(drive_ + u"\\top.txt"); });
  }

  ScratchDir dir_;
  std::u16string drive_;
  std::string link_;
};

TEST_F(DriveRootGuard, RootsAreRefusedWithTheWarningAndKeepEverything) {
  const std::u16string letter = drive_.substr(0, 1);
  const std::u16string lower = base::ToLowerAscii(letter);
  std::vector<std::u16string> guarded = {letter + u":\\",  lower + u":\\", letter + u":/", lower + u":/",
                                         letter + u":\\\\", letter + u":",  lower + u":"};
  wchar_t previous[MAX_PATH];
  GetCurrentDirectoryW(MAX_PATH, previous);
  // A lone backslash is the root of the current drive. (Wine reads a lone "/" as the Unix root,
  // which no test may risk.)
  ASSERT_TRUE(SetCurrentDirectoryW(W(drive_ + u"\\keep")));
  guarded.push_back(u"\\");
  testing_support::MessageBoxRecorder boxes;
  for (const auto& root : guarded) {
    package::DeleteTree(root.c_str(), true);
    package::DeleteTree(root.c_str(), false);
  }
  SetCurrentDirectoryW(previous);
  ASSERT_EQ(boxes.shown().size(), 2 * guarded.size());
  for (const auto& box : boxes.shown()) {
    EXPECT_EQ(box.title, u"warning");
    EXPECT_EQ(box.text, u"Warning code: 0x1144.");
    EXPECT_EQ(box.style, 0u);
  }
  EXPECT_EQ(ReadText(dir_.Join(u"keep\\file.txt")), "x");
  EXPECT_EQ(ReadText(dir_.Join(u"top.txt")), "y");

  // A folder below the root is no root: it goes.
  package::DeleteTree((drive_ + u"\\keep").c_str(), true);
  EXPECT_FALSE(Exists(dir_.Join(u"keep")));
  EXPECT_EQ(boxes.shown().size(), 2 * guarded.size());
}

// Wine shows a host symbolic link to a folder as a directory reparse point, as Windows shows a
// junction: the walk must take the link away and leave the folder it points to alone.
TEST(DeleteTreeLinks, ReparsePointsAreRemovedNotFollowed) {
  ScratchDir dir;
  CreateDirectoryW(W(dir.Join(u"outside")), nullptr);
  CreateDirectoryW(W(dir.Join(u"outside\\empty")), nullptr);
  WriteText(dir.Join(u"outside\\precious.txt"), "keep");
  CreateDirectoryW(W(dir.Join(u"work")), nullptr);
  CreateDirectoryW(W(dir.Join(u"tidy")), nullptr);
  const std::string outside = testing_support::HostPath(dir.Join(u"outside"));
  if (outside.empty()) GTEST_SKIP() << "needs Wine";
  for (const char16_t* folder : {u"work", u"tidy"}) {
    const std::string link = testing_support::HostPath(dir.Join(folder)) + "/link";
    ASSERT_TRUE(RunHostProgram({"/bin/ln", "-s", outside, link},
                               [&] { return Exists(dir.Join(std::u16string(folder) + u"\\link\\precious.txt")); }));
    const DWORD attributes = GetFileAttributesW(W(dir.Join(std::u16string(folder) + u"\\link")));
    ASSERT_NE(attributes & FILE_ATTRIBUTE_REPARSE_POINT, 0u);
  }
  package::RemoveEmptyFolders(dir.Join(u"tidy").c_str(), true);
  EXPECT_TRUE(Exists(dir.Join(u"outside\\empty")));
  package::DeleteTree(dir.Join(u"work").c_str(), true);
  EXPECT_EQ(ReadText(dir.Join(u"outside\\precious.txt")), "keep");
  // Windows removes a junction with RemoveDirectoryW; Wine 8 can remove a host link by no call,
  // so there the folder keeps the link and nothing else.
  if (Exists(dir.Join(u"work"))) {
    EXPECT_TRUE(Exists(dir.Join(u"work\\link")));
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(std::filesystem::path(dir.Join(u"work"))),
                            std::filesystem::directory_iterator()),
              1);
  }
}

}  // namespace
