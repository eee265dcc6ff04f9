// "norvpack build" of the example suites, read back with the installer's own readers: the payload
// table, the packed skin part and its container, the install data source over the package, the
// integrity checks, the description loader and the resource archive reader. The second example
// version is built and installed over the first in tests/e2e.
#include <zlib.h>

#include <map>

#include "app/ini_reader.h"
#include "norvpack_fixture.h"
#include "engine/checksum.h"
#include "engine/compose.h"
#include "engine/engine_codes.h"
#include "engine/engine_test_util.h"
#include "engine/data_obtain.h"
#include "package/deed_box.h"
#include "package/file_utils.h"
#include "package/packed_file.h"
#include "package/payload.h"
#include "package/res_archive.h"

namespace build_test {
namespace {

constexpr uint32_t kExampleArchiveTime = 1767225600;

using engine_test::ReadUtf16File;

// The text of a UTF-8 suite file in UTF-16 with its byte order mark.
std::vector<uint8_t> Utf16Bytes(const std::u16string& path, bool big_endian) {
  std::vector<uint8_t> bytes;
  for (char16_t c : u"\xFEFF" + base::Utf8ToUtf16(ReadText(path))) {
    const uint8_t high = static_cast<uint8_t>(c >> 8), low = static_cast<uint8_t>(c);
    bytes.insert(bytes.end(), {big_endian ? high : low, big_endian ? low : high});
  }
  return bytes;
}

// html.dat of the example suite: archives/html in name order, with the suite's ArchiveTime.
void ExpectExampleArchive(const std::u16string& path) {
  const std::vector<package::ResArchive> archives = package::ListResArchives(path);
  ASSERT_EQ(archives.size(), 1u);
  ASSERT_EQ(archives[0].entries.size(), 2u);
  platform::File file = platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
  const char16_t* names[] = {u"css\\main.css", u"index.htm"};
  for (size_t k = 0; k < 2; ++k) {
    EXPECT_EQ(archives[0].entries[k].name, names[k]);
    package::ResEntryData data;
    ASSERT_EQ(package::ReadResEntry(file, archives[0], archives[0].entries[k], &data), package::ResEntryStatus::kOk);
    EXPECT_EQ(data.bytes, ReadAll(Join(Join(ExampleSuite(), u"archives\\html"), names[k])));
    EXPECT_EQ(data.modified, kExampleArchiveTime);
  }
}

uint32_t Crc(uint32_t start, const std::vector<uint8_t>& bytes) {
  return static_cast<uint32_t>(crc32(start, bytes.data(), static_cast<uInt>(bytes.size())));
}

// The files each compose of the example suite carries, in description order.
const std::map<std::u16string, std::vector<std::u16string>>& ExampleFiles() {
  static const std::map<std::u16string, std::vector<std::u16string>> files = {
      {u"Main", {u"NorvFrame.exe", u"NorvCore.dll", u"shared.cfg", u"readme.txt", u"logo.bin"}},
      {u"Runtime", {u"NorvHelper.dll", u"html.dat", u"runtime.txt"}},
      {u"Updater", {u"NorvUpdate.exe", u"update.cfg"}},
      {u"PluginA", {u"PluginA.dll", u"plugin-readme.txt"}},
  };
  return files;
}

// The original of a carried file, or empty for the resource archive.
std::u16string OriginalOf(const std::u16string& suite, const engine::FileEntry& entry) {
  std::u16string folder = Join(Join(suite, u"files"), entry.compose_name);
  if (!entry.source_folder.empty()) folder = Join(folder, entry.source_folder);
  const std::u16string path = Join(folder, entry.file_name);
  return platform::PathExists(path) ? path : u"";
}

// The example suite built into a setup file, whose package is taken out and opened with the
// install data source, as the install worker does.
class BuiltSuite : public testing::Test {
 protected:
  void SetUp() override {
    output_ = Build(Options(suite_));
    WriteAll(setup_, output_.setup_file);
    ASSERT_TRUE(platform::CreateDirectoryOne(scratch_.Join(u"work")));
    ASSERT_TRUE(platform::CreateDirectoryOne(scratch_.Join(u"install")));
    ASSERT_TRUE(platform::CreateDirectoryOne(scratch_.Join(u"install\\Temp")));
    package_ = package::ExtractBigFileFrom(setup_, scratch_.Join(u"work"), 0x1234);
    ASSERT_FALSE(package_.empty());
    EXPECT_EQ(ReadAll(package_), output_.package);
    ASSERT_EQ(source_.LoadBigFile(package_.c_str()), engine::kDataOk);
  }

  const std::u16string suite_ = ExampleSuite();
  ScratchDir scratch_;
  const std::u16string setup_ = scratch_.Join(u"Setup.exe");
  const engine::WorkPaths paths_{scratch_.Join(u"install")};
  norvpack::SuiteBuildOutput output_;
  std::u16string package_;
  engine::CInstallDataObtain source_{paths_};
};

TEST_F(BuiltSuite, SkinGroupsAndTheDownloadAddressTravelInTheirParts) {
  const std::u16string style = package::PrepareSkinPartFrom(setup_, scratch_.Join(u"work"));
  ASSERT_FALSE(style.empty());
  package::CDeedBox skin;
  ASSERT_TRUE(skin.Open(scratch_.Join(u"work\\Part1.dat").c_str()));
  EXPECT_EQ(skin.GetKind(), package::kDeedBoxKindSkin);
  EXPECT_EQ(skin.GetComposeList(), u"http://127.0.0.1:8080/NorvClient.pkg");

  std::vector<package::FolderFile> files;
  ASSERT_TRUE(package::ListFolderFiles(Join(suite_, u"skin\\wizard"), /*include_hidden=*/false, &files));
  ASSERT_EQ(skin.Records().size(), files.size() + 1);  // and the package's digest
  for (const auto& f : files) {
    const std::u16string extracted = style + f.relative;
    const std::u16string name(base::FileNamePart(f.relative));
    if (name == u"Draw.dat" || name == u"norvframe.ini") {
      EXPECT_EQ(ReadUtf16File(extracted), ReadText(f.path)) << base::Utf16ToUtf8(name);
    } else {
      EXPECT_EQ(ReadAll(extracted), ReadAll(f.path)) << base::Utf16ToUtf8(name);
    }
  }
  // The second group travels in the package.
  package::CDeedBox box;
  ASSERT_TRUE(box.Open(package_.c_str()));
  ASSERT_TRUE(box.ExtractGroup(package::kSkinGroupPart2, scratch_.Join(u"style2").c_str()));
  EXPECT_EQ(ReadUtf16File(scratch_.Join(u"style2\\Setup.ini")), ReadText(Join(suite_, u"skin\\install\\Setup.ini")));
}

TEST_F(BuiltSuite, ProductDescriptionCarriesTheEndMarkerAndItsTexts) {
  EXPECT_EQ(source_.ProductList(), u"NorvClient");
  EXPECT_EQ(source_.IsComposePacket(), package::kDeedBoxKindProduct);
  const std::u16string product = paths_.TempFilePath(u"NorvClient.ini");
  ASSERT_EQ(source_.ObtainProductIni(u"NorvClient", product.c_str()), engine::kOk);
  app::CIniReader product_ini;
  ASSERT_TRUE(product_ini.LoadTzFile(product));
  EXPECT_EQ(product_ini.GetString(u"Version", u"IsCheckString"), u"1");
  EXPECT_EQ(product_ini.SectionAt(product_ini.SectionCount() - 1)->Name(), u"End");
  EXPECT_EQ(product_ini.GetString(u"End", u"CheckString"), u"CheckFileOKEnd");
  EXPECT_EQ(product_ini.GetString(u"Main", u"Title0804"), u"诺维客户端");
  // A grouping compose has no description in the package, but is in its compose list.
  EXPECT_EQ(source_.ObtainComposeIni(u"Extras", paths_.TempFilePath(u"Extras.out").c_str()),
            engine::kDataComposeIniMissing);
  package::CDeedBox box;
  ASSERT_TRUE(box.Open(package_.c_str()));
  EXPECT_EQ(box.GetComposeList(), u"Main,Runtime,Updater,PluginA,Extras");
  // Both product records carry the same description.
  const std::u16string fix0 = scratch_.Join(u"fix0.out"), fix1 = scratch_.Join(u"fix1.out");
  ASSERT_TRUE(box.ExtractFix(0, u"NorvClient", fix0.c_str()));
  ASSERT_TRUE(box.ExtractFix(1, u"NorvClient", fix1.c_str()));
  EXPECT_EQ(ReadAll(fix0), ReadAll(fix1));
}

TEST_F(BuiltSuite, EveryComposeFileReadsBackAsTheOriginalWithItsMeasures) {
  size_t carried = 0;
  for (const auto& expected : ExampleFiles()) {
    SCOPED_TRACE(base::Utf16ToUtf8(expected.first));
    const std::u16string description = paths_.TempFilePath(expected.first + u".out");
    ASSERT_EQ(source_.ObtainComposeIni(expected.first.c_str(), description.c_str()), engine::kOk);
    EXPECT_EQ(ReadAll(description)[0], 0xFF);  // written as UTF-16
    engine::Compose compose(paths_);
    compose.name = expected.first;
    ASSERT_EQ(compose.LoadComposeFiles(description.c_str()), engine::kOk);
    ASSERT_EQ(compose.entries.size(), expected.second.size());
    uint64_t total = 0;
    for (size_t i = 0; i < compose.entries.size(); ++i) {
      engine::FileEntry& entry = compose.entries[i];
      SCOPED_TRACE(base::Utf16ToUtf8(entry.file_name));
      EXPECT_EQ(entry.file_name, expected.second[i]);
      total += entry.size;
      std::u16string extracted;
      ASSERT_EQ(source_.ObtainFile(&entry, &extracted), engine::kDataOk);
      if (entry.packed == 1) {
        const std::u16string plain = extracted + u".plain";
        ASSERT_EQ(package::ZQP_UnPackFile(extracted.c_str(), plain.c_str()), package::kUnpackOk);
        extracted = plain;
      }
      const std::vector<uint8_t> bytes = ReadAll(extracted);
      engine::FileChecksum measured;
      ASSERT_TRUE(engine::FileChecksumFor(entry.flags, extracted, &measured));
      EXPECT_EQ(entry.size, measured.size);
      EXPECT_EQ(entry.checksum, measured.crc);
      // Two sums worked out here from the formula: the whole-file sum, and the sampled sum of a
      // file shorter than one 512-byte read (its bytes summed twice).
      if (entry.file_name == u"NorvFrame.exe") {
        EXPECT_EQ(entry.flags & engine::kFileFullChecksum, engine::kFileFullChecksum);
        EXPECT_EQ(entry.checksum, Crc(0xFFFFFFFFu, bytes));
      } else if (entry.file_name == u"shared.cfg") {
        ASSERT_LT(bytes.size(), 512u);
        EXPECT_EQ(entry.checksum, Crc(Crc(0xFFFFFFFFu, bytes), bytes));
        // The written line carries the decimal size.
        const std::u16string& line = compose.ini.GetString(u"Program", u"shared.cfg");
        EXPECT_NE(line.find(u"," + base::UnsignedToUtf16(entry.size) + u",0"), std::u16string::npos);
      }
      const std::u16string original = OriginalOf(suite_, entry);
      if (!original.empty()) {
        EXPECT_EQ(bytes, ReadAll(original));
      } else {
        ASSERT_EQ(entry.file_name, u"html.dat");
        EXPECT_EQ(entry.dest_folder, u"ProgData");
        ExpectExampleArchive(extracted);
      }
      ++carried;
    }
    EXPECT_EQ(static_cast<uint64_t>(compose.ini.GetInt(u"Version", u"Size", -1)), total);
    EXPECT_EQ(compose.ini.GetString(u"Version", u"FileSize").size(), 10u);
  }
  EXPECT_EQ(carried, output_.file_count);
}

// A compose packet: its list in the header, the listed composes only (not Main's resource
// Runtime). EngineLifecycle.ComposePacketInstallsItsComposes installs a packet: the listed
// composes' descriptions and files, and no product description.
TEST(BuildSuite, ComposePacketCarriesTheListedComposesOnly) {
  ScratchDir scratch;
  norvpack::SuiteBuildOptions options = Options(ExampleSuite());
  options.packet_composes = u"pluginA,Main";
  const norvpack::SuiteBuildOutput output = Build(options);
  const std::u16string packet = scratch.Join(u"packet.pkg"), out = scratch.Join(u"x.out");
  WriteAll(packet, output.package);
  const engine::WorkPaths paths(scratch.path());
  engine::CInstallDataObtain source(paths);
  ASSERT_EQ(source.LoadBigFile(packet.c_str()), engine::kDataOk);
  EXPECT_EQ(source.IsComposePacket(), package::kDeedBoxKindComposePacket);
  EXPECT_EQ(source.ObtainComposeIni(u"Runtime", out.c_str()), engine::kDataComposeIniMissing);
  package::CDeedBox box;
  ASSERT_TRUE(box.Open(packet.c_str()));
  EXPECT_EQ(box.GetComposeList(), u"PluginA,Main");  // spelled as the product spells them
  EXPECT_EQ(output.file_count, ExampleFiles().at(u"Main").size() + ExampleFiles().at(u"PluginA").size());
}

// A copy of the suite with fresh file times builds to the same bytes, and so it does with its
// descriptions written in UTF-16 (either byte order) instead of UTF-8.
TEST(BuildSuite, CopiesAndUtf16DescriptionsBuildTheSameSetupFile) {
  ScratchDir scratch;
  const std::u16string suite = CopySuite(scratch);
  const std::vector<uint8_t> original = Build(Options(ExampleSuite())).setup_file;
  EXPECT_EQ(Build(Options(suite)).setup_file, original);
  const std::u16string product = Join(suite, u"products\\NorvClient.out");
  const std::u16string compose = Join(suite, u"composes\\Main.out");
  WriteAll(product, Utf16Bytes(product, false));
  WriteAll(compose, Utf16Bytes(compose, true));
  EXPECT_EQ(Build(Options(suite)).setup_file, original);
}

}  // namespace
}  // namespace build_test
