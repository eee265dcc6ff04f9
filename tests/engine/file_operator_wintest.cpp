// Placement over files in use (Wine). Measured under Wine 8, as on Windows: a running program's
// image can be renamed, but neither deleted (access denied) nor overwritten; a file held open
// without write and delete sharing can be neither deleted, renamed nor overwritten (sharing
// violation). placement_helper holds the file, and places it so that RestartNeeded is its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/strings.h"
#include "package/package_test_files.h"
#include "platform/restart.h"
#include "support/pending_file_renames.h"
#include "support/programs.h"
#include "support/saved_registry_value.h"
#include "support/scratch_dir.h"

namespace {

using package_test::ReadText;
using testing_support::FindPending;
using testing_support::PendingOperations;

class FileInUseTest : public testing::Test {
 protected:
  void SetUp() override {
    testing_support::WriteText(source_, "new");
    testing_support::WriteText(held_, "old");
  }
  void TearDown() override {
    if (!holder_.hProcess) return;
    TerminateProcess(holder_.hProcess, 0);
    WaitForSingleObject(holder_.hProcess, 10000);
    CloseHandle(holder_.hProcess);
    CloseHandle(holder_.hThread);
  }
  // Starts `program hold MARKER [file]` and waits until it holds.
  void Hold(const std::u16string& program, const std::u16string& file) {
    const std::u16string marker = dir_.Join(u"held");
    std::u16string line = u"\"" + program + u"\" hold \"" + marker + u"\"";
    if (!file.empty()) line += u" \"" + file + u"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    ASSERT_TRUE(CreateProcessW(nullptr, reinterpret_cast<wchar_t*>(&line[0]), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &holder_));
    for (int i = 0; i < 200 && !testing_support::Exists(marker); ++i) Sleep(50);
    ASSERT_TRUE(testing_support::Exists(marker)) << "the helper does not hold";
  }
  // The result * 2 + RestartNeeded.
  int Place(const std::u16string& target, const char16_t* field7, const std::u16string& program = {}) {
    const std::u16string& placer = program.empty() ? helper_ : program;
    return testing_support::RunProgram(placer, {u"place", source_, target, field7, u"0"});
  }
  void CopyHelper(const std::u16string& to) {
    ASSERT_TRUE(CopyFileW(reinterpret_cast<const wchar_t*>(helper_.c_str()), reinterpret_cast<const wchar_t*>(to.c_str()),
                          FALSE));
  }

  testing_support::SavedRegistryValue pending_{testing_support::kSessionManager, testing_support::kPendingValue};
  testing_support::ScratchDir dir_;
  const std::u16string helper_ = testing_support::ProgramBeside(u"placement_helper");
  const std::u16string source_ = dir_.Join(u"src.x"), held_ = dir_.Join(u"lib.dll");
  PROCESS_INFORMATION holder_ = {};
};

TEST_F(FileInUseTest, RunningProgramIsMovedAsideAndReplaced) {
  const std::u16string program = dir_.Join(u"app.exe");
  CopyHelper(program);
  Hold(program, u"");
  EXPECT_EQ(Place(program, u"0"), 0);  // no restart needed: the new program is in place
  EXPECT_TRUE(ReadText(program) == "new");
  // Moved aside to "app.exe_{hex}.rem", renamed to ".ren" and deleted at the restart.
  const auto files = package_test::FilesBelow(dir_.path());
  const auto aside = files.lower_bound("app.exe_");
  ASSERT_TRUE(aside != files.end() && aside->rfind("app.exe_", 0) == 0 && aside->find(".rem.ren") != std::string::npos);
  const auto ops = PendingOperations();
  const auto* op = FindPending(ops, dir_.Join(base::Utf8ToUtf16(*aside)));
  ASSERT_NE(op, nullptr);
  EXPECT_TRUE(op->destination.empty());
}

TEST_F(FileInUseTest, HeldFileIsReplacedAtTheRestartOrGivenANewName) {
  Hold(helper_, held_);
  EXPECT_EQ(Place(held_, u"0"), 1);  // deferred: RestartNeeded
  EXPECT_EQ(ReadText(held_), "old");
  EXPECT_EQ(ReadText(source_), "new");  // for the restart to move
  const auto ops = PendingOperations();
  const auto* op = FindPending(ops, platform::ShortPathName(source_));
  ASSERT_NE(op, nullptr);
  EXPECT_TRUE(testing_support::SamePendingPath(op->destination, held_));

  // Field 7: beside the held file under the next name, whose old file is deleted first.
  testing_support::WriteText(dir_.Join(u"lib_1.dll"), "older");
  EXPECT_EQ(Place(held_, u"1"), 0);
  EXPECT_EQ(ReadText(held_), "old");
  EXPECT_EQ(ReadText(dir_.Join(u"lib_1.dll")), "new");
}

// The running updater cannot replace itself: its successor goes beside it.
TEST_F(FileInUseTest, RunningUpdaterPlacesItsSuccessorBesideIt) {
  const std::u16string updater = dir_.Join(u"NorvUpdate.exe"), other = dir_.Join(u"other.exe");
  CopyHelper(updater);
  CopyHelper(other);
  EXPECT_EQ(Place(updater, u"0", updater), 0);
  EXPECT_EQ(ReadText(dir_.Join(u"NorvUpdateNew.exe")), "new");
  testing_support::WriteText(source_, "newer");
  EXPECT_EQ(Place(updater, u"0", other), 0);
  EXPECT_TRUE(ReadText(updater) == "newer");  // any other program replaces it in place
}

// Without a target the delayed move would delete the file at the restart and report success.
TEST_F(FileInUseTest, NoTargetFailsWithoutSchedulingAnything) {
  EXPECT_EQ(Place(u"", u"0"), 2 * 110);
  EXPECT_EQ(FindPending(PendingOperations(), platform::ShortPathName(source_)), nullptr);
}

}  // namespace
