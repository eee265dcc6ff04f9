// Placement under Wine: the FileValid marks of the installed state, read and written in the real
// registry (every test puts back what it changed), and files in use. Measured under Wine 8, as on Windows: a running program's
// image can be renamed, but neither deleted (access denied) nor overwritten; a file held open
// without write and delete sharing can be neither deleted, renamed nor overwritten (sharing
// violation). placement_helper holds the file, and places it so that RestartNeeded is its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/suite_key.h"
#include "base/strings.h"
#include "engine/change_detect.h"
#include "engine/engine_codes.h"
#include "engine/file_operator.h"
#include "engine/local_install.h"
#include "engine_test_util.h"
#include "package/package_test_files.h"
#include "platform/restart.h"
#include "support/pending_file_renames.h"
#include "support/programs.h"
#include "support/saved_registry_value.h"
#include "support/scratch_dir.h"

namespace {

using package_test::ReadText;
using platform::RegType;
using testing_support::FindPending;
using testing_support::PendingOperations;
using testing_support::SavedRegistryValue;

TEST(LocalInstallRegistryTest, MarksAreDwordsAndOnlyZeroIsInvalid) {
  const SavedRegistryValue a(app::kFileValidKey, u"NorvTestCore-a.dll");
  const SavedRegistryValue five(app::kFileValidKey, u"NorvTestCore-5.dll");
  const SavedRegistryValue text(app::kFileValidKey, u"NorvTestCore-text.dll");
  const SavedRegistryValue absent(app::kFileValidKey, u"NorvTestCore-absent.dll");
  EXPECT_TRUE(engine::SetInstallFileValid(u"a.dll", u"NorvTestCore", 0));
  RegType type;
  std::vector<uint8_t> data;
  ASSERT_EQ(a.Open().ReadValue(u"NorvTestCore-a.dll", 16, &type, &data), platform::kRegOk);
  EXPECT_EQ(type, RegType::kDword);
  EXPECT_EQ(data, (std::vector<uint8_t>{0, 0, 0, 0}));
  EXPECT_FALSE(engine::IsInstallFileValid(u"a.dll", u"NorvTestCore"));
  EXPECT_TRUE(engine::SetInstallFileValid(u"a.dll", u"NorvTestCore", 1));
  EXPECT_TRUE(engine::IsInstallFileValid(u"a.dll", u"NorvTestCore"));

  EXPECT_EQ(five.Open().WriteDword(u"NorvTestCore-5.dll", 5), platform::kRegOk);
  EXPECT_EQ(text.Set(u"0"), platform::kRegOk);
  absent.Remove();
  for (const char16_t* file : {u"5.dll", u"text.dll", u"absent.dll"}) {
    EXPECT_TRUE(engine::IsInstallFileValid(file, u"NorvTestCore")) << base::Utf16ToUtf8(file);
  }
}

// Every file of a run is marked invalid before programs stop; afterwards a file whose
// registration failed stays invalid, and the next run's merge, reading the real marks, takes it
// again though it is unchanged on disk.
TEST(LocalInstallRegistryTest, RunMarksEndInvalidWhereRegistrationFailedAndTheNextRunTakesThose) {
  const SavedRegistryValue ok(app::kFileValidKey, u"NorvTestCore-ok.dll");
  const SavedRegistryValue failed(app::kFileValidKey, u"NorvTestCore-failed.dll");
  testing_support::ScratchDir dir;
  const engine::WorkPaths paths(dir.path());
  engine::FileEntryList run(2);
  run[0].file_name = u"ok.dll";
  run[1].file_name = u"failed.dll";
  for (engine::FileEntry& e : run) e.compose_name = u"NorvTestCore";
  run[1].work_flags |= engine::kWorkRegisterFailed;
  engine::FileOperator files{paths};
  files.SetFileList(&run);
  files.MarkFilesInvalid();
  EXPECT_FALSE(engine::IsInstallFileValid(u"ok.dll", u"NorvTestCore"));
  files.MarkFilesValid();
  EXPECT_TRUE(engine::IsInstallFileValid(u"ok.dll", u"NorvTestCore"));
  EXPECT_FALSE(engine::IsInstallFileValid(u"failed.dll", u"NorvTestCore"));

  const std::string text =
      "[Version]\nPath=Core\n[HaveSection]\nNorvTestCore=Files\n[Files]\n"
      "ok.dll=,,0,2,0,1,1,0,0,0,,,FFFFFFFF,,0,0\nfailed.dll=,,0,2,0,1,1,0,0,0,,,FFFFFFFF,,0,0\n";
  engine_test::WriteUtf16File(paths.ComposeFilePath(u"NorvTestCore", engine::ComposeLocation::kInstalled), text);
  const std::u16string fresh = dir.Join(u"NorvTestCore.new");
  engine_test::WriteUtf16File(fresh, text);
  std::filesystem::create_directories(std::filesystem::path(dir.path()) / "Core");
  testing_support::WriteText(dir.Join(u"Core\\ok.dll"), "");  // empty files sum to FFFFFFFF
  testing_support::WriteText(dir.Join(u"Core\\failed.dll"), "");
  const engine::LocalInstallPtr store(engine::CreateLocalInstall(paths));
  engine::Compose compose(paths);
  compose.SetFilePath(u"NorvTestCore", engine::ComposeLocation::kInstalled);
  compose.LinkToStore(store.get());
  ASSERT_EQ(compose.LoadComposeFiles(), engine::kOk);
  ASSERT_EQ(engine::MergeComposeFiles(compose, fresh.c_str(), engine::ComposeLocation::kTemp), engine::kOk);
  engine::FileEntryList work;
  engine::CollectWorkFiles(compose, &work, false);
  ASSERT_EQ(work.size(), 1u);
  EXPECT_EQ(work[0].file_name, u"failed.dll");
  EXPECT_EQ(work[0].state, engine::FileState::kUnchanged);  // taken for its mark alone
}

// A removed file's mark goes before anything is placed: a run killed after the new descriptions
// are installed, which no longer name the file, then leaves what a whole run leaves (no mark).
TEST(LocalInstallRegistryTest, RemovedFileLosesItsMarkBeforePlacement) {
  const SavedRegistryValue gone(app::kFileValidKey, u"NorvTestCore-gone.dll");
  testing_support::ScratchDir dir;
  engine::FileEntryList run(1);
  run[0].file_name = u"gone.dll";
  run[0].compose_name = u"NorvTestCore";
  run[0].state = engine::FileState::kRemoved;
  engine::SetInstallFileValid(u"gone.dll", u"NorvTestCore", 1);
  engine::FileOperator files{engine::WorkPaths(dir.path())};
  files.SetFileList(&run);
  RegType type;
  std::vector<uint8_t> data;
  for (auto step : {&engine::FileOperator::MarkFilesInvalid, &engine::FileOperator::MarkFilesValid}) {
    (files.*step)();
    EXPECT_NE(gone.Open().ReadValue(u"NorvTestCore-gone.dll", 16, &type, &data), platform::kRegOk);
  }
}

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
