// Change detection over real files and descriptions: measuring installed files, file states of
// a compose comparison, invalid marks, the collection of work files and product comparison.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <string>

#include "base/strings.h"
#include "engine/change_detect.h"
#include "engine/checksum.h"
#include "engine/engine_codes.h"
#include "engine/local_install.h"
#include "support/scratch_dir.h"
#include "engine_test_util.h"

namespace {

using engine::Compose;
using engine::ComposeLocation;
using engine::ComposeState;
using engine::FileEntry;
using engine::FileState;

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof(text), "%X", value);
  return text;
}

std::string U8(const std::u16string& text) { return base::Utf16ToUtf8(text); }

class ChangeDetectTest : public ::testing::Test {
 protected:
  ChangeDetectTest() : paths_(dir_.path()), product_(paths_), store_(engine::CreateLocalInstall(paths_)) {
    folders_.install_dir = paths_.InstallDir();
    folders_.system = u"C:\\Windows\\SysWOW64";
    folders_.system_for64 = u"C:\\Windows\\system32";
    folders_.windows = u"C:\\Windows";
    for (const char* sub : {"Core/bin", "Compose/Core/Source/sub"}) {
      std::filesystem::create_directories(std::filesystem::path(dir_.path()) / sub);
    }
  }

  std::u16string At(const std::u16string& relative) const { return paths_.InstallDir(relative); }
  void File(const std::u16string& relative, const std::string& content) {
    testing_support::WriteText(At(relative), content);
  }
  // The description line of a file whose content is (or will be) content.
  static engine::FileChecksum SumOf(const std::string& content) {
    const std::u16string path = scratch_.Join(u"sum.bin");
    testing_support::WriteText(path, content);
    engine::FileChecksum sum;
    engine::SampledChecksum(path, &sum);
    return sum;
  }
  static std::string Line(const std::string& name, const std::string& dest, const std::string& content,
                          int field6 = 0, const std::string& os_mask = "0") {
    const engine::FileChecksum sum = SumOf(content);
    return name + "=," + dest + ",0,2,0,1," + std::to_string(field6) + ",0,0,0,,," + Hex(sum.crc) + ",," +
           std::to_string(sum.size) + "," + os_mask + "\n";
  }
  static std::string Description(const std::string& lines) {
    return "[Version]\nCurVersion=1\nPath=Core\n[HaveSection]\nCore=Files\n[Files]\n" + lines;
  }

  // The installed compose "Core", loaded from its Installed-location description.
  std::unique_ptr<Compose> Installed(const std::string& lines) {
    engine_test::WriteUtf16File(At(u"Install\\Compose\\Core.out"), Description(lines));
    auto compose = std::make_unique<Compose>(paths_);
    compose->SetFilePath(u"Core", ComposeLocation::kInstalled);
    compose->LinkToStore(store_.get());
    EXPECT_EQ(compose->LoadComposeFiles(), engine::kOk);
    return compose;
  }
  std::u16string NewDescription(const std::string& lines) {
    const std::u16string path = At(u"Temp\\Compose\\Core.out");
    engine_test::WriteUtf16File(path, Description(lines));
    return path;
  }

  static std::map<std::string, FileState> States(const Compose& compose) {
    std::map<std::string, FileState> states;
    for (const FileEntry& e : compose.entries) states[U8(e.file_name)] = e.state;
    return states;
  }
  static std::vector<std::string> Names(const engine::FileEntryList& list) {
    std::vector<std::string> names;
    for (const FileEntry& e : list) names.push_back(U8(e.file_name));
    return names;
  }

  static testing_support::ScratchDir scratch_;
  testing_support::ScratchDir dir_;
  engine::WorkPaths paths_;
  engine::Product product_;
  engine::LocalInstallPtr store_;
  engine::TargetFolders folders_;
};
testing_support::ScratchDir ChangeDetectTest::scratch_;

TEST_F(ChangeDetectTest, MeasureInstalledFilesAtTheirTargetPaths) {
  File(u"Core\\a.exe", std::string(700, 'a'));
  File(u"Core\\bin\\b.dll", "bb");
  auto compose = Installed(Line("a.exe", "", "stale") + Line("b.dll", "bin", "stale") + Line("gone.dll", "", "x"));
  EXPECT_EQ(engine::MeasureComposeFiles(*compose, folders_), engine::kComposeFileMissing);

  const auto& e = compose->entries;
  ASSERT_EQ(e.size(), 3u);
  EXPECT_EQ(e[0].full_path, At(u"Core\\a.exe"));
  EXPECT_EQ(e[1].full_path, At(u"Core\\bin\\b.dll"));
  engine::FileChecksum sum;
  ASSERT_TRUE(engine::SampledChecksum(At(u"Core\\a.exe"), &sum));
  EXPECT_EQ(e[0].checksum, sum.crc);
  EXPECT_EQ(e[0].size, 700u);
  EXPECT_EQ(e[1].size, 2u);
  EXPECT_EQ(e[2].checksum, 0u);
  EXPECT_EQ(e[2].size, 0u);
  EXPECT_EQ(compose->size, 702u);

  File(u"Core\\gone.dll", "");
  EXPECT_EQ(engine::MeasureComposeFiles(*compose, folders_), engine::kOk);
  EXPECT_EQ(compose->entries[2].checksum, 0xFFFFFFFFu);  // an empty file, not a missing one
}

TEST_F(ChangeDetectTest, MeasureUsesTheFullChecksumWhenFlagged) {
  std::string big(20000, 'x');
  big[3000] = 'y';  // outside every sampled window
  File(u"Core\\big.bin", big);
  auto compose = Installed("big.bin=,,0,0,256,1,0,0,0,0,,,0,,0,0\n");
  ASSERT_EQ(compose->entries[0].flags, engine::kFileFullChecksum);
  ASSERT_EQ(engine::MeasureComposeFiles(*compose, folders_), engine::kOk);
  engine::FileChecksum full;
  ASSERT_TRUE(engine::FullChecksum(At(u"Core\\big.bin"), &full));
  EXPECT_EQ(compose->entries[0].checksum, full.crc);
}

TEST_F(ChangeDetectTest, MeasureOtherLocationsAndTheStoreRule) {
  File(u"Compose\\Core\\Source\\sub\\s.dll", "source copy");
  auto compose = Installed("s.dll=sub,,0,1,0,1,0,0,0,0,,,0,,0,0\n");
  compose->store = nullptr;
  EXPECT_EQ(engine::MeasureComposeFiles(*compose, folders_), engine::kOwnerNotSet);

  compose->SetLocation(ComposeLocation::kSource);
  EXPECT_EQ(engine::MeasureComposeFiles(*compose, folders_), engine::kOk);
  EXPECT_EQ(compose->entries[0].full_path, At(u"Compose\\Core\\Source\\sub\\s.dll"));
  EXPECT_EQ(compose->size, 11u);
}

TEST_F(ChangeDetectTest, MergeSetsEveryFileState) {
  // On disk: what the last run installed.
  File(u"Core\\same.exe", "same");
  File(u"Core\\changed.dll", "old content");
  File(u"Core\\removed.txt", "bye");
  File(u"Core\\invalid.dll", "marked invalid");
  File(u"Core\\moved.dll", "moves to bin");
  auto compose = Installed(Line("same.exe", "", "same", 1) + Line("changed.dll", "", "old content") +
                           Line("removed.txt", "", "bye", 0) + Line("invalid.dll", "", "marked invalid") +
                           Line("moved.dll", "", "moves to bin") + Line("lost.dll", "", "lost"));
  const std::u16string fresh =
      NewDescription(Line("new.ini", "", "new", 1) + Line("SAME.EXE", "", "same", 1) +
                     Line("changed.dll", "", "new content") + Line("invalid.dll", "", "marked invalid") +
                     Line("moved.dll", "bin", "moves to bin") + Line("lost.dll", "", "lost"));
  std::vector<std::string> asked;
  auto is_valid = [&](const FileEntry& e) {
    asked.push_back(U8(e.compose_name) + "-" + U8(e.file_name));
    return e.file_name != u"invalid.dll";
  };
  ASSERT_EQ(engine::MergeComposeFiles(*compose, fresh.c_str(), ComposeLocation::kTemp, folders_, is_valid),
            engine::kOk);

  const auto& e = compose->entries;
  ASSERT_EQ(e.size(), 7u);
  const struct {
    const char* name;
    FileState state;
    bool invalid;
  } expected[] = {
      {"SAME.EXE", FileState::kUnchanged, false},  // the new entry replaces the installed one
      {"changed.dll", FileState::kChanged, false},
      {"removed.txt", FileState::kRemoved, false},
      {"invalid.dll", FileState::kUnchanged, true},
      {"moved.dll", FileState::kChanged, false},  // same content, another folder
      {"lost.dll", FileState::kChanged, false},   // missing on disk: measured as 0
      {"new.ini", FileState::kNew, false},
  };
  for (size_t i = 0; i < e.size(); ++i) {
    SCOPED_TRACE(expected[i].name);
    EXPECT_EQ(U8(e[i].file_name), expected[i].name);
    EXPECT_EQ(e[i].state, expected[i].state);
    EXPECT_EQ((e[i].work_flags & engine::kWorkInstalledCopyInvalid) != 0, expected[i].invalid);
  }
  EXPECT_EQ(e[1].checksum, SumOf("new content").crc);  // the new entry took the installed one's place
  EXPECT_EQ(e[4].dest_folder, u"bin");
  EXPECT_EQ(asked, (std::vector<std::string>{"Core-same.exe", "Core-changed.dll", "Core-invalid.dll",
                                             "Core-moved.dll", "Core-lost.dll"}));

  // All files that need work, once each; a partial collection keeps field 6 and Removed.
  engine::FileEntryList all;
  engine::CollectWorkFiles(*compose, &all, true);
  engine::CollectWorkFiles(*compose, &all, true);
  EXPECT_EQ(Names(all), (std::vector<std::string>{"changed.dll", "removed.txt", "invalid.dll", "moved.dll",
                                                  "lost.dll", "new.ini"}));
  engine::FileEntryList partial;
  engine::CollectWorkFiles(*compose, &partial, false);  // removed.txt has field 6 = 0
  EXPECT_EQ(Names(partial), (std::vector<std::string>{"removed.txt", "new.ini"}));
}

// An ordinary compose of the installed product, as the engine holds it: unchanged files on disk
// give no work once it is linked; unlinked it cannot be measured and nothing is compared.
TEST_F(ChangeDetectTest, UnchangedInstalledComposeNeedsNoWork) {
  File(u"Core\\a.exe", "a");
  File(u"Core\\bin\\b.dll", "b");
  const std::string lines = Line("a.exe", "", "a", 1) + Line("b.dll", "bin", "b");
  engine_test::WriteUtf16File(At(u"Install\\Compose\\Core.out"), Description(lines));
  engine_test::WriteUtf16File(At(u"Install\\Product\\Suite.out"), "[Version]\n[HaveCompose]\nAll=Core\n[Core]\n");
  ASSERT_EQ(product_.LoadInstalledProduct(u"Suite"), engine::kOk);
  Compose& core = *product_.composes.at(0);
  ASSERT_EQ(core.attributes.type, engine::kComposeOrdinary);
  ASSERT_EQ(core.LoadComposeFiles(), engine::kOk);
  const std::u16string fresh = NewDescription(lines);

  EXPECT_EQ(engine::MergeComposeFiles(core, fresh.c_str(), ComposeLocation::kTemp, folders_, nullptr),
            engine::kOwnerNotSet);
  EXPECT_EQ(core.entries[0].state, FileState::kNone);

  core.LinkToStore(store_.get());
  ASSERT_EQ(engine::MergeComposeFiles(core, fresh.c_str(), ComposeLocation::kTemp, folders_, nullptr), engine::kOk);
  EXPECT_EQ(States(core), (std::map<std::string, FileState>{{"a.exe", FileState::kUnchanged},
                                                            {"b.dll", FileState::kUnchanged}}));
  engine::FileEntryList work;
  engine::CollectWorkFiles(core, &work, true);
  EXPECT_TRUE(work.empty());
}

TEST_F(ChangeDetectTest, InvalidMarkForcesWorkInAPartialCollection) {
  File(u"Core\\svc.exe", "service");
  auto compose = Installed(Line("svc.exe", "", "service", 1));
  const std::u16string fresh = NewDescription(Line("svc.exe", "", "service", 1));
  ASSERT_EQ(engine::MergeComposeFiles(*compose, fresh.c_str(), ComposeLocation::kTemp, folders_,
                                      [](const FileEntry&) { return false; }),
            engine::kOk);
  ASSERT_EQ(compose->entries[0].state, FileState::kUnchanged);
  engine::FileEntryList partial;
  engine::CollectWorkFiles(*compose, &partial, false);
  EXPECT_EQ(Names(partial), std::vector<std::string>{"svc.exe"});
}

TEST_F(ChangeDetectTest, MergePassesLoadFailuresOn) {
  auto compose = Installed(Line("a.exe", "", "a"));
  EXPECT_EQ(engine::MergeComposeFiles(*compose, nullptr, ComposeLocation::kTemp, folders_, nullptr),
            engine::kNullArgument);
  const std::u16string absent = At(u"Temp\\Compose\\Absent.out");
  EXPECT_EQ(engine::MergeComposeFiles(*compose, absent.c_str(), ComposeLocation::kTemp, folders_, nullptr),
            engine::kDescriptionLoadFailed);
  const std::u16string no_sections = At(u"Temp\\Compose\\Core.out");
  engine_test::WriteUtf16File(no_sections, "[Version]\nPath=Core\n");
  EXPECT_EQ(engine::MergeComposeFiles(*compose, no_sections.c_str(), ComposeLocation::kTemp, folders_, nullptr),
            engine::kNoHaveSection);
  EXPECT_EQ(compose->entries[0].state, FileState::kNone);  // untouched
}

class CompareProductsTest : public ChangeDetectTest {
 protected:
  void SetUp() override {
    engine_test::WriteUtf16File(At(u"Install\\Product\\Suite.out"),
                                "[Version]\nProductID=1\n[HaveCompose]\nAll=Core,Old,Upd\n"
                                "[Core]\nTitle0409=Core v1\n[Old]\n[Upd]\nUpdate=0\n");
    engine_test::WriteUtf16File(At(u"Temp\\Suite.out"),
                                "[Version]\nProductID=1\n[HaveCompose]\nAll=Core,Upd,Fresh\n"
                                "[Core]\nTitle0409=Core v2\nHide=1\n[Upd]\nUpdate=1\n[Fresh]\n");
  }
  uint32_t LoadInstalled(const char16_t* list = nullptr) {
    const std::u16string path = At(u"Install\\Product\\Suite.out");
    return product_.LoadProduct(path.c_str(), ComposeLocation::kInstalled, list, 0);
  }
  static std::vector<std::string> Summary(const engine::ComposeList& list) {
    std::vector<std::string> out;
    for (const auto& c : list) {
      out.push_back(U8(c->name) + ":" + std::to_string(static_cast<uint32_t>(c->state)) + ":u" +
                    std::to_string(c->attributes.update));
    }
    return out;
  }
  std::u16string fresh_ = At(u"Temp\\Suite.out");
};

TEST_F(CompareProductsTest, NewBothAndInstalledOnly) {
  ASSERT_EQ(LoadInstalled(), engine::kOk);
  engine::ComposeList result;
  ASSERT_EQ(engine::CompareProducts(product_, fresh_.c_str(), &result), engine::kOk);
  // New composes come last to first, then the installed ones that the new product lacks.
  EXPECT_EQ(Summary(result), (std::vector<std::string>{"Fresh:4:u0", "Upd:3:u1", "Core:3:u0", "Old:1:u0"}));
  EXPECT_EQ(U8(result[2]->attributes.texts[1].title), "Core v2");
  ASSERT_EQ(product_.composes.size(), 2u);  // Old moved out
  EXPECT_EQ(product_.composes[0]->name, u"Core");
  EXPECT_EQ(product_.composes[1]->name, u"Upd");
}

TEST_F(CompareProductsTest, ResultListFromAnEarlierComparison) {
  ASSERT_EQ(LoadInstalled(), engine::kOk);
  engine::ComposeList result;
  auto removed = std::make_unique<Compose>(paths_);
  removed->name = u"core";
  removed->state = ComposeState::kInstalledOnly;
  result.push_back(std::move(removed));
  auto kept = std::make_unique<Compose>(paths_);
  kept->name = u"Upd";
  kept->state = ComposeState::kBoth;
  result.push_back(std::move(kept));

  ASSERT_EQ(engine::CompareProducts(product_, fresh_.c_str(), &result), engine::kOk);
  // core takes the new attributes and becomes Both; Upd gains the Update flag.
  EXPECT_EQ(Summary(result), (std::vector<std::string>{"core:3:u0", "Upd:3:u1", "Fresh:4:u0", "Old:1:u0"}));
  EXPECT_EQ(result[0]->attributes.hide, 1u);
  EXPECT_EQ(U8(result[0]->attributes.texts[1].title), "Core v2");
}

TEST_F(CompareProductsTest, PartialListKeepsAbsentComposesInstalled) {
  // The new product drops Old on every system these tests run on (NT 4.0 only).
  const std::u16string fresh = At(u"Temp\\Partial.out");
  engine_test::WriteUtf16File(fresh, "[Version]\n[HaveCompose]\nAll=Core,Old\n[Core]\n[Old]\nSupportOS=80000\n");
  for (const char16_t* list : {u"Core,Old", u""}) {
    SCOPED_TRACE(U8(list));
    product_.DropComposes();
    ASSERT_EQ(LoadInstalled(*list ? list : nullptr), engine::kOk);
    ASSERT_EQ(product_.composes.size(), *list ? 2u : 3u);
    engine::ComposeList result;
    ASSERT_EQ(engine::CompareProducts(product_, fresh.c_str(), &result), engine::kOk);
    if (*list) {
      // A run over a chosen list removes nothing it was not asked about.
      EXPECT_EQ(Summary(result), (std::vector<std::string>{"Core:3:u0"}));
    } else {
      EXPECT_EQ(Summary(result), (std::vector<std::string>{"Core:3:u0", "Upd:1:u0", "Old:1:u0"}));
    }
  }
}

TEST_F(CompareProductsTest, LoadFailuresArePassedOn) {
  ASSERT_EQ(LoadInstalled(), engine::kOk);
  engine::ComposeList result;
  const std::u16string absent = At(u"Temp\\None.out");
  EXPECT_EQ(engine::CompareProducts(product_, absent.c_str(), &result), engine::kDescriptionLoadFailed);
  engine_test::WriteUtf16File(absent, "[Version]\nProductID=1\n");
  EXPECT_EQ(engine::CompareProducts(product_, absent.c_str(), &result), engine::kNoComposeList);
  EXPECT_EQ(engine::CompareProducts(product_, nullptr, &result), engine::kNullArgument);
  EXPECT_TRUE(result.empty());
  EXPECT_EQ(product_.composes.size(), 3u);
}

}  // namespace
