// "norvpack build" of the example suites, read back with the installer's own readers: the payload
// table, the packed skin part and its container, the install data source over the package, the
// integrity checks, the description loader and the resource archive reader.
#include <zlib.h>

#include <map>

#include "app/ini_reader.h"
#include "cli.h"
#include "norvpack_fixture.h"
#include "engine/checksum.h"
#include "engine/compose.h"
#include "engine/engine_codes.h"
#include "engine/integrity_check.h"
#include "engine/data_obtain.h"
#include "package/deed_box.h"
#include "package/packed_file.h"
#include "package/payload.h"
#include "package/res_archive.h"
#include "suite_load.h"

namespace build_test {
namespace {

constexpr uint32_t kExampleArchiveTime = 1767225600;

// Decoded text of a UTF-8 suite file, as the build must carry it in UTF-16.
std::u16string SourceText(const std::u16string& path) { return base::Utf8ToUtf16(ReadText(path)); }

// UTF-16 text with its byte order mark.
std::vector<uint8_t> Utf16Bytes(const std::u16string& text, bool big_endian) {
  std::vector<uint8_t> bytes;
  for (char16_t c : u"\xFEFF" + text) {
    const uint8_t high = static_cast<uint8_t>(c >> 8), low = static_cast<uint8_t>(c);
    bytes.insert(bytes.end(), {big_endian ? high : low, big_endian ? low : high});
  }
  return bytes;
}

struct Built {
  std::u16string setup;    // the setup file on disk
  std::u16string install;  // an install folder for the data source's temporary files
  norvpack::SuiteBuildOutput output;
};

void Build(const ScratchDir& scratch, const norvpack::SuiteBuildOptions& options, Built* built) {
  norvpack::SuiteError error;
  ASSERT_TRUE(norvpack::BuildSuite(options, &built->output, &error)) << error.Text();
  built->setup = scratch.Join(u"Setup.exe");
  WriteAll(built->setup, built->output.setup_file);
  built->install = scratch.Join(u"install") + u"\\";
  ASSERT_TRUE(platform::CreateDirectoryOne(scratch.Join(u"install")));
  ASSERT_TRUE(platform::CreateDirectoryOne(scratch.Join(u"install\\Temp")));
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

TEST(BuildSuite, SkinPartCarriesTheSkinAndTheDownloadAddress) {
  ScratchDir scratch;
  Built built;
  ASSERT_NO_FATAL_FAILURE(Build(scratch, Options(ExampleSuite()), &built));
  const std::u16string suite = ExampleSuite();

  package::PayloadTable table;
  ASSERT_TRUE(package::ReadPayloadTable(built.output.setup_file.data(), built.output.setup_file.size(), &table));
  EXPECT_EQ(table.part1.offset, StubProgram().size());
  EXPECT_TRUE(package::HasPackagePart(built.setup));
  EXPECT_EQ(table.part2.offset, table.part1.offset + table.part1.length);
  EXPECT_EQ(table.part2.offset + table.part2.length, built.output.setup_file.size());

  const std::u16string style = package::PrepareSkinPartFrom(built.setup, scratch.Join(u"work"));
  ASSERT_FALSE(style.empty());
  const std::u16string unpacked = scratch.Join(u"work\\Part1.dat");
  package::CDeedBox box;
  ASSERT_TRUE(box.Open(unpacked.c_str()));
  EXPECT_EQ(box.GetKind(), package::kDeedBoxKindSkin);
  EXPECT_EQ(box.GetComposeList(), u"http://127.0.0.1:8080/NorvClient.pkg");

  std::vector<norvpack::FolderFile> files;
  ASSERT_TRUE(norvpack::ListFolderFiles(Join(suite, u"skin\\wizard"), /*include_hidden=*/false, &files));
  ASSERT_EQ(box.Records().size(), files.size());
  for (const auto& f : files) {
    const std::u16string extracted = style + f.relative;
    const std::u16string name(base::FileNamePart(f.relative));
    if (name == u"Draw.dat" || name == u"norvframe.ini") {
      EXPECT_EQ(ReadUtf16File(extracted), SourceText(f.path)) << base::Utf16ToUtf8(name);
    } else {
      EXPECT_EQ(ReadAll(extracted), ReadAll(f.path)) << base::Utf16ToUtf8(name);
    }
  }
}

TEST(BuildSuite, PackageOpensAndEveryFileReadsBackAsTheOriginal) {
  ScratchDir scratch;
  Built built;
  ASSERT_NO_FATAL_FAILURE(Build(scratch, Options(ExampleSuite()), &built));
  const std::u16string suite = ExampleSuite();
  ASSERT_TRUE(platform::CreateDirectoryOne(scratch.Join(u"work")));
  const std::u16string package_path = package::ExtractBigFileFrom(built.setup, scratch.Join(u"work"), 0x1234);
  ASSERT_FALSE(package_path.empty());
  EXPECT_EQ(ReadAll(package_path), built.output.package);

  const engine::WorkPaths paths(built.install);
  engine::CInstallDataObtain source(paths);
  ASSERT_EQ(source.LoadBigFile(package_path.c_str()), engine::kDataOk);
  EXPECT_EQ(source.ProductList(), u"NorvClient");
  EXPECT_EQ(source.IsComposePacket(), package::kDeedBoxKindProduct);

  // The product description passes its end-marker check and keeps the Chinese titles.
  const std::u16string product = paths.TempFilePath(u"NorvClient.ini");
  ASSERT_EQ(source.ObtainProductIni(u"NorvClient", product.c_str()), engine::kOk);
  app::CIniReader product_ini;
  ASSERT_TRUE(product_ini.LoadTzFile(product));
  EXPECT_EQ(product_ini.GetString(u"Version", u"IsCheckString"), u"1");
  EXPECT_EQ(product_ini.SectionAt(product_ini.SectionCount() - 1)->Name(), u"End");
  EXPECT_EQ(product_ini.GetString(u"End", u"CheckString"), u"CheckFileOKEnd");
  EXPECT_EQ(product_ini.GetString(u"Main", u"Title0804"), u"诺维客户端");
  EXPECT_EQ(product_ini.GetString(u"PluginA", u"Title0804"), u"插件甲");
  EXPECT_EQ(product_ini.GetString(u"ShortcutTitle", u"MainLink0804"), u"诺维客户端");

  // A grouping compose has no description in the package.
  EXPECT_EQ(source.ObtainComposeIni(u"Extras", paths.TempFilePath(u"Extras.out").c_str()), engine::kDataComposeIniMissing);

  size_t carried = 0;
  for (const auto& expected : ExampleFiles()) {
    SCOPED_TRACE(base::Utf16ToUtf8(expected.first));
    const std::u16string description = paths.TempFilePath(expected.first + u".out");
    ASSERT_EQ(source.ObtainComposeIni(expected.first.c_str(), description.c_str()), engine::kOk);
    EXPECT_EQ(ReadAll(description)[0], 0xFF);  // written as UTF-16
    engine::Compose compose(paths);
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
      ASSERT_EQ(source.ObtainFile(&entry, &extracted), engine::kDataOk);
      std::vector<uint8_t> carried_bytes = ReadAll(extracted);
      if (entry.packed == 1) {
        ASSERT_GE(carried_bytes.size(), 4u);
        EXPECT_EQ(std::string(carried_bytes.begin(), carried_bytes.begin() + 4), "QZPM");
        const std::u16string plain = extracted + u".plain";
        ASSERT_EQ(package::ZQP_UnPackFile(extracted.c_str(), plain.c_str()), package::kUnpackOk);
        extracted = plain;
        carried_bytes = ReadAll(plain);
      }
      engine::FileChecksum measured;
      ASSERT_TRUE(engine::FileChecksumFor(entry.flags, extracted, &measured));
      EXPECT_EQ(entry.size, measured.size);
      EXPECT_EQ(entry.checksum, measured.crc);
      // Two sums worked out here from the formula: the whole-file sum, and the sampled sum of a
      // file shorter than one 512-byte read (its bytes summed twice).
      if (entry.file_name == u"NorvFrame.exe") {
        EXPECT_EQ(entry.flags & engine::kFileFullChecksum, engine::kFileFullChecksum);
        EXPECT_EQ(entry.checksum, Crc(0xFFFFFFFFu, carried_bytes));
      } else if (entry.file_name == u"shared.cfg") {
        ASSERT_LT(carried_bytes.size(), 512u);
        EXPECT_EQ(entry.checksum, Crc(Crc(0xFFFFFFFFu, carried_bytes), carried_bytes));
        // The written line carries the decimal size.
        const std::u16string& line = compose.ini.GetString(u"Program", u"shared.cfg");
        EXPECT_NE(line.find(u"," + base::UnsignedToUtf16(entry.size) + u",0"), std::u16string::npos);
      }
      const std::u16string original = OriginalOf(suite, entry);
      if (!original.empty()) {
        EXPECT_EQ(carried_bytes, ReadAll(original));
      } else {
        ASSERT_EQ(entry.file_name, u"html.dat");
        EXPECT_EQ(entry.dest_folder, u"ProgData");
        const std::vector<package::ResArchive> archives = package::ListResArchives(extracted);
        ASSERT_EQ(archives.size(), 1u);
        ASSERT_EQ(archives[0].entries.size(), 2u);
        platform::File file = platform::File::Open(extracted, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
        const char16_t* names[] = {u"css\\main.css", u"index.htm"};
        for (size_t k = 0; k < 2; ++k) {
          EXPECT_EQ(archives[0].entries[k].name, names[k]);
          package::ResEntryData data;
          ASSERT_EQ(package::ReadResEntry(file, archives[0], archives[0].entries[k], &data), package::ResEntryStatus::kOk);
          EXPECT_EQ(data.bytes, ReadAll(Join(Join(suite, u"archives\\html"), names[k])));
          EXPECT_EQ(data.modified, kExampleArchiveTime);
        }
      }
      ++carried;
    }
    EXPECT_EQ(static_cast<uint64_t>(compose.ini.GetInt(u"Version", u"Size", -1)), total);
    EXPECT_EQ(compose.ini.GetString(u"Version", u"FileSize").size(), 10u);
  }
  EXPECT_EQ(carried, built.output.file_count);

  // The second skin group travels in the package.
  package::CDeedBox box;
  ASSERT_TRUE(box.Open(package_path.c_str()));
  ASSERT_TRUE(box.ExtractGroup(package::kSkinGroupPart2, scratch.Join(u"style2").c_str()));
  EXPECT_EQ(ReadUtf16File(scratch.Join(u"style2\\Setup.ini")), SourceText(Join(suite, u"skin\\install\\Setup.ini")));
  // Both product records are there, with the same description.
  const std::u16string fix0 = scratch.Join(u"fix0.out"), fix1 = scratch.Join(u"fix1.out");
  ASSERT_TRUE(box.ExtractFix(0, u"NorvClient", fix0.c_str()));
  ASSERT_TRUE(box.ExtractFix(1, u"NorvClient", fix1.c_str()));
  EXPECT_EQ(ReadAll(fix0), ReadAll(fix1));
  EXPECT_EQ(box.GetComposeList(), u"Main,Runtime,Updater,PluginA,Extras");
}

// A copy of the suite, with fresh file times, builds to the same bytes.
TEST(BuildSuite, SameSuiteGivesTheSameBytes) {
  ScratchDir scratch;
  norvpack::SuiteBuildOutput first, copied;
  norvpack::SuiteError error;
  ASSERT_TRUE(norvpack::BuildSuite(Options(ExampleSuite()), &first, &error)) << error.Text();
  ASSERT_TRUE(norvpack::BuildSuite(Options(CopySuite(scratch)), &copied, &error)) << error.Text();
  EXPECT_EQ(copied.setup_file, first.setup_file);
  EXPECT_EQ(copied.package, first.package);
}

// The second version changes, adds, moves and removes files; what an update would see.
TEST(BuildSuite, SecondVersionChangesAddsAndRemovesFiles) {
  ScratchDir scratch;
  norvpack::SuiteError error;
  std::map<std::u16string, engine::FileEntry> entries[2];
  const char* suites[] = {"suite", "suite-v2"};
  for (int v = 0; v < 2; ++v) {
    norvpack::SuiteBuildOutput output;
    ASSERT_TRUE(norvpack::BuildSuite(Options(ExampleSuite(suites[v])), &output, &error)) << error.Text();
    const std::u16string folder = scratch.Join(base::Utf8ToUtf16(suites[v]));
    ASSERT_TRUE(platform::CreateDirectoryOne(folder));
    const std::u16string package_path = Join(folder, u"package.pkg");
    WriteAll(package_path, output.package);
    const engine::WorkPaths paths(folder);
    engine::CInstallDataObtain source(paths);
    ASSERT_EQ(source.LoadBigFile(package_path.c_str()), engine::kDataOk);
    const std::u16string product = Join(folder, u"product.out");
    int32_t version = 0;
    ASSERT_EQ(source.ObtainProductIni(u"NorvClient", product.c_str()), engine::kOk);
    ASSERT_EQ(engine::CheckProductIni(product.c_str(), &version), engine::kOk);
    EXPECT_EQ(version, v + 1);
    for (const char16_t* name : {u"Main", u"Runtime", u"Updater", u"PluginA"}) {
      const std::u16string description = Join(folder, std::u16string(name) + u".out");
      ASSERT_EQ(source.ObtainComposeIni(name, description.c_str()), engine::kOk);
      engine::Compose compose(paths);
      compose.name = name;
      ASSERT_EQ(compose.LoadComposeFiles(description.c_str()), engine::kOk);
      // The updater is the same in both versions.
      EXPECT_EQ(compose.cur_version, std::u16string(name) == u"Updater" ? 1u : static_cast<uint32_t>(v + 1));
      for (const auto& e : compose.entries) entries[v][e.compose_name + u"/" + e.file_name] = e;
    }
  }
  EXPECT_EQ(entries[0].count(u"Main/whatsnew.txt"), 0u);
  EXPECT_EQ(entries[1].count(u"Main/whatsnew.txt"), 1u);
  EXPECT_EQ(entries[0].count(u"PluginA/plugin-readme.txt"), 1u);
  EXPECT_EQ(entries[1].count(u"PluginA/plugin-readme.txt"), 0u);
  EXPECT_EQ(entries[1].count(u"Main/shared.cfg"), 0u);
  EXPECT_EQ(entries[1].count(u"Runtime/shared.cfg"), 1u);
  for (const char16_t* changed : {u"Main/NorvFrame.exe", u"Main/logo.bin", u"Runtime/html.dat"}) {
    EXPECT_NE(entries[0][changed].checksum, entries[1][changed].checksum) << base::Utf16ToUtf8(changed);
  }
  for (const char16_t* same : {u"Main/NorvCore.dll", u"Updater/NorvUpdate.exe", u"PluginA/PluginA.dll"}) {
    EXPECT_EQ(entries[0][same].checksum, entries[1][same].checksum) << base::Utf16ToUtf8(same);
    EXPECT_EQ(entries[0][same].size, entries[1][same].size);
  }
}

// Descriptions may be written in UTF-16 (either byte order) as well as UTF-8; the setup file is
// the same.
TEST(BuildSuite, DescriptionsInUtf16BuildTheSameSetupFile) {
  ScratchDir scratch;
  const std::u16string suite = CopySuite(scratch);
  norvpack::SuiteBuildOutput utf8, utf16;
  norvpack::SuiteError error;
  ASSERT_TRUE(norvpack::BuildSuite(Options(suite), &utf8, &error)) << error.Text();
  const std::u16string product = Join(suite, u"products\\NorvClient.out");
  const std::u16string compose = Join(suite, u"composes\\Main.out");
  const std::u16string big = SourceText(compose);
  WriteAll(product, Utf16Bytes(SourceText(product), false));
  WriteAll(compose, Utf16Bytes(big, true));
  ASSERT_TRUE(norvpack::BuildSuite(Options(suite), &utf16, &error)) << error.Text();
  EXPECT_EQ(utf16.setup_file, utf8.setup_file);

  // Lines ending in CR LF are counted the same: the 15-field line is line 16.
  std::u16string crlf;
  for (char16_t c : big) crlf += c == u'\n' ? std::u16string(u"\r\n") : std::u16string(1, c);
  const std::u16string good = u"NorvCore.dll=bin,,0,0,0,2,0,1,0,0,,,auto,,auto,0";
  ASSERT_NE(crlf.find(good), std::u16string::npos);
  crlf.replace(crlf.find(good), good.size(), u"NorvCore.dll=bin,,0,0,0,2,0,1,0,0,,,auto,,auto");
  WriteAll(compose, Utf16Bytes(crlf, false));
  ASSERT_FALSE(norvpack::BuildSuite(Options(suite), &utf16, &error));
  EXPECT_EQ(error.Text(), "composes/Main.out:16: malformed file line: 15 fields, at least 16 are needed");
}

}  // namespace
}  // namespace build_test
