// Change detection over real files and descriptions: file checksums against an independent
// bitwise CRC-32, measuring installed files, file states of a compose comparison, invalid marks,
// the collection of work files and product comparison.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

#include "base/strings.h"
#include "engine/change_detect.h"
#include "engine/checksum.h"
#include "engine/engine_codes.h"
#include "engine/local_install.h"
#include "engine_test_util.h"
#include "package/package_test_files.h"
#include "support/scratch_dir.h"

namespace {

using engine::Compose;
using engine::ComposeLocation;
using engine::ComposeState;
using engine::FileEntry;
using engine::FileState;
using Names = std::vector<std::string>;

std::string U8(const std::u16string& text) { return base::Utf16ToUtf8(text); }

using Range = std::pair<size_t, size_t>;

// Bitwise reflected CRC-32 over the ranges in order, chained the way stored checksums are.
uint32_t ReferenceCrc(const package_test::Buf& data, const std::vector<Range>& ranges) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const Range& r : ranges) {
    crc = ~crc;
    for (size_t i = r.first; i < r.second; ++i) {
      crc ^= data[i];
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
  }
  return crc;
}

// Each case lists the byte ranges that the sampling sums, in order, the repeated last read
// included; the full checksum sums the whole file.
TEST(ChecksumTest, SampledAndFullChecksumsReadTheDocumentedBytes) {
  const struct {
    size_t size;
    std::vector<Range> ranges;
  } cases[] = {
      {0, {}},
      {511, {{0, 511}, {0, 511}}},
      {512, {{0, 512}}},  // the second read finds nothing, and nothing is repeated
      {700, {{0, 700}, {512, 700}}},
      {5120, {{0, 5120}, {4608, 5120}}},  // ten full reads; the tenth is repeated
      {5121, {{0, 5120}, {4608, 5120}}},  // reads at 0, 512, ..., 4608: the last byte is never read
      {100000, {{0, 512},     {10000, 10512}, {20000, 20512}, {30000, 30512}, {40000, 40512}, {50000, 50512},
                {60000, 60512}, {70000, 70512}, {80000, 80512}, {90000, 90512}, {90000, 90512}}},
  };
  testing_support::ScratchDir dir;
  for (const auto& c : cases) {
    const package_test::Buf bytes = package_test::Noise(c.size, 7);
    testing_support::WriteBytes(dir.Join(u"file.bin"), bytes);
    engine::FileChecksum sampled, full;
    ASSERT_TRUE(engine::SampledChecksum(dir.Join(u"file.bin"), &sampled)) << c.size;
    ASSERT_TRUE(engine::FullChecksum(dir.Join(u"file.bin"), &full)) << c.size;
    EXPECT_EQ(sampled.crc, ReferenceCrc(bytes, c.ranges)) << "size " << c.size;
    EXPECT_EQ(full.crc, ReferenceCrc(bytes, {{0, c.size}})) << "size " << c.size;
    EXPECT_EQ(sampled.size, c.size);
    EXPECT_EQ(full.size, c.size);
    // The same sums over the bytes in memory.
    EXPECT_EQ(engine::BytesChecksumFor(0, bytes.data(), bytes.size()).crc, sampled.crc) << "size " << c.size;
    EXPECT_EQ(engine::BytesChecksumFor(engine::kFileFullChecksum, bytes.data(), bytes.size()).crc, full.crc);
  }
  testing_support::WriteText(dir.Join(u"file.bin"), "123456789");
  engine::FileChecksum sum;
  ASSERT_TRUE(engine::FullChecksum(dir.Join(u"file.bin"), &sum));
  EXPECT_EQ(sum.crc, 0xD202D277u);  // zlib.crc32(b"123456789", 0xFFFFFFFF)

  sum.crc = 7;
  EXPECT_FALSE(engine::FullChecksum(dir.Join(u"absent.bin"), &sum));
  EXPECT_EQ(sum.crc, 0u);
  EXPECT_FALSE(engine::SampledChecksum(dir.Join(u"absent.bin"), &sum));
}

class ChangeDetectTest : public ::testing::Test {
 protected:
  ChangeDetectTest() : paths_(dir_.path()), product_(paths_), store_(engine::CreateLocalInstall(paths_)) {
    folders_.install_dir = paths_.InstallDir();
    folders_.system = u"C:\\Windows\\SysWOW64";
    for (const char* sub : {"Core/bin", "Compose/Core/Source/sub"}) {
      std::filesystem::create_directories(std::filesystem::path(dir_.path()) / sub);
    }
  }

  std::u16string At(const std::u16string& relative) const { return paths_.InstallDir(relative); }
  void File(const std::u16string& relative, const std::string& content) {
    testing_support::WriteText(At(relative), content);
  }
  static engine::FileChecksum SumOf(const std::string& content) {
    const std::u16string path = scratch_.Join(u"sum.bin");
    testing_support::WriteText(path, content);
    engine::FileChecksum sum;
    engine::SampledChecksum(path, &sum);
    return sum;
  }
  // The description line of a file whose content is (or will be) content.
  static std::string Line(const std::string& name, const std::string& dest, const std::string& content,
                          int field6 = 0) {
    const engine::FileChecksum sum = SumOf(content);
    char crc[16];
    std::snprintf(crc, sizeof crc, "%X", sum.crc);
    return name + "=," + dest + ",0,2,0,1," + std::to_string(field6) + ",0,0,0,,," + crc + ",," +
           std::to_string(sum.size) + ",0\n";
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
  static Names WorkFiles(const Compose& compose, bool all) {
    engine::FileEntryList list;
    engine::CollectWorkFiles(compose, &list, all);
    engine::CollectWorkFiles(compose, &list, all);  // once each, however often collected
    Names names;
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
  std::string big(20000, 'x');
  big[3000] = 'y';  // outside every sampled window
  File(u"Core\\big.bin", big);
  auto compose = Installed(Line("a.exe", "", "stale") + Line("b.dll", "bin", "stale") + Line("gone.dll", "", "x") +
                           "big.bin=,,0,0,256,1,0,0,0,0,,,0,,0,0\n");
  EXPECT_EQ(engine::MeasureComposeFiles(*compose, folders_), engine::kComposeFileMissing);
  const auto& e = compose->entries;
  ASSERT_EQ(e.size(), 4u);
  EXPECT_EQ(e[1].full_path, At(u"Core\\bin\\b.dll"));
  EXPECT_EQ(e[0].checksum, SumOf(std::string(700, 'a')).crc);
  EXPECT_EQ(e[2].checksum, 0u);
  engine::FileChecksum full;
  ASSERT_TRUE(engine::FullChecksum(At(u"Core\\big.bin"), &full));
  EXPECT_EQ(e[3].checksum, full.crc);  // flag 0x100: the whole file
  EXPECT_EQ(compose->size, 20702u);  // 700 + 2 + 0 (missing) + 20000

  File(u"Core\\gone.dll", "");
  EXPECT_EQ(engine::MeasureComposeFiles(*compose, folders_), engine::kOk);
  EXPECT_EQ(compose->entries[2].checksum, 0xFFFFFFFFu);  // an empty file, not a missing one
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
  for (const char16_t* name : {u"same.exe", u"changed.dll", u"removed.txt", u"invalid.dll", u"moved.dll"}) {
    File(std::u16string(u"Core\\") + name, U8(name));
  }
  auto compose = Installed(Line("same.exe", "", "same.exe", 1) + Line("changed.dll", "", "changed.dll") +
                           Line("removed.txt", "", "removed.txt") + Line("invalid.dll", "", "invalid.dll", 1) +
                           Line("moved.dll", "", "moved.dll") + Line("lost.dll", "", "lost"));
  const std::u16string fresh =
      NewDescription(Line("new.ini", "", "new", 1) + Line("SAME.EXE", "", "same.exe", 1) +
                     Line("changed.dll", "", "new content") + Line("invalid.dll", "", "invalid.dll", 1) +
                     Line("moved.dll", "bin", "moved.dll") + Line("lost.dll", "", "lost"));
  Names asked;
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
    EXPECT_EQ(U8(e[i].file_name), expected[i].name);
    EXPECT_EQ(e[i].state, expected[i].state) << expected[i].name;
    EXPECT_EQ((e[i].work_flags & engine::kWorkInstalledCopyInvalid) != 0, expected[i].invalid) << expected[i].name;
  }
  EXPECT_EQ(e[1].checksum, SumOf("new content").crc);
  EXPECT_EQ(e[4].dest_folder, u"bin");
  EXPECT_EQ(asked, (Names{"Core-same.exe", "Core-changed.dll", "Core-invalid.dll", "Core-moved.dll", "Core-lost.dll"}));
  EXPECT_EQ(WorkFiles(*compose, true),
            (Names{"changed.dll", "removed.txt", "invalid.dll", "moved.dll", "lost.dll", "new.ini"}));
  // A partial collection takes field 6, Removed entries and invalid marks.
  EXPECT_EQ(WorkFiles(*compose, false), (Names{"removed.txt", "invalid.dll", "new.ini"}));
}

TEST_F(ChangeDetectTest, MergePassesLoadFailuresOnAndRefusesAnUnlinkedCompose) {
  auto compose = Installed(Line("a.exe", "", "a"));
  const std::u16string empty = At(u"Temp\\Empty.out");
  engine_test::WriteUtf16File(empty, "[Version]\nPath=Core\n");
  const std::pair<const char16_t*, uint32_t> cases[] = {{nullptr, engine::kNullArgument},
                                                        {empty.c_str(), engine::kNoHaveSection}};
  for (const auto& [path, code] : cases) {
    EXPECT_EQ(engine::MergeComposeFiles(*compose, path, ComposeLocation::kTemp, folders_, nullptr), code);
  }
  // Unlinked, it would be measured where its installed files are not.
  compose->store = nullptr;
  const std::u16string fresh = NewDescription(Line("a.exe", "", "a"));
  EXPECT_EQ(engine::MergeComposeFiles(*compose, fresh.c_str(), ComposeLocation::kTemp, folders_, nullptr),
            engine::kOwnerNotSet);
  EXPECT_EQ(compose->entries[0].state, FileState::kNone);  // untouched
}

class CompareProductsTest : public ChangeDetectTest {
 protected:
  void SetUp() override {
    engine_test::WriteUtf16File(At(u"Install\\Product\\Suite.out"),
                                "[Version]\nProductID=1\n[HaveCompose]\nAll=Core,Old,Upd\n"
                                "[Core]\nTitle0409=Core v1\n[Old]\n[Upd]\nUpdate=0\n");
    engine_test::WriteUtf16File(fresh_, "[Version]\nProductID=1\n[HaveCompose]\nAll=Core,Upd,Fresh\n"
                                        "[Core]\nTitle0409=Core v2\nHide=1\n[Upd]\nUpdate=1\n[Fresh]\n");
  }
  uint32_t LoadInstalled(const char16_t* list = nullptr) {
    const std::u16string path = At(u"Install\\Product\\Suite.out");
    return product_.LoadProduct(path.c_str(), ComposeLocation::kInstalled, list, 0);
  }
  static Names Summary(const engine::ComposeList& list) {
    Names out;
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
  EXPECT_EQ(Summary(result), (Names{"Fresh:4:u0", "Upd:3:u1", "Core:3:u0", "Old:1:u0"}));
  EXPECT_EQ(U8(result[2]->attributes.texts[1].title), "Core v2");
  ASSERT_EQ(product_.composes.size(), 2u);  // Old moved out
  EXPECT_EQ(product_.composes[1]->name, u"Upd");
}

TEST_F(CompareProductsTest, ResultListFromAnEarlierComparison) {
  ASSERT_EQ(LoadInstalled(), engine::kOk);
  engine::ComposeList result;
  for (const auto& [name, state] : {std::pair{u"core", ComposeState::kInstalledOnly}, {u"Upd", ComposeState::kBoth}}) {
    result.push_back(std::make_unique<Compose>(paths_));
    result.back()->name = name;
    result.back()->state = state;
  }
  ASSERT_EQ(engine::CompareProducts(product_, fresh_.c_str(), &result), engine::kOk);
  // core takes the new attributes and becomes Both; Upd gains the Update flag.
  EXPECT_EQ(Summary(result), (Names{"core:3:u0", "Upd:3:u1", "Fresh:4:u0", "Old:1:u0"}));
  EXPECT_EQ(result[0]->attributes.hide, 1u);
}

TEST_F(CompareProductsTest, PartialListKeepsAbsentComposesInstalled) {
  // The new product drops Old on every system these tests run on (NT 4.0 only).
  engine_test::WriteUtf16File(fresh_, "[Version]\n[HaveCompose]\nAll=Core,Old\n[Core]\n[Old]\nSupportOS=80000\n");
  for (const char16_t* list : {u"Core,Old", u""}) {
    product_.DropComposes();
    ASSERT_EQ(LoadInstalled(*list ? list : nullptr), engine::kOk);
    engine::ComposeList result;
    ASSERT_EQ(engine::CompareProducts(product_, fresh_.c_str(), &result), engine::kOk);
    // A run over a chosen list removes nothing it was not asked about.
    const Names expected = *list ? Names{"Core:3:u0"} : Names{"Core:3:u0", "Upd:1:u0", "Old:1:u0"};
    EXPECT_EQ(Summary(result), expected) << U8(list);
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
