// The registry half of the installed state under Wine: FileValid marks read and written in the
// real registry. Every test puts back what it changed.
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
#include "support/saved_registry_value.h"
#include "support/scratch_dir.h"

namespace {

using platform::RegType;
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
TEST(LocalInstallRegistryTest, RunMarksEndInvalidOnlyWhereRegistrationFailed) {
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

}  // namespace
