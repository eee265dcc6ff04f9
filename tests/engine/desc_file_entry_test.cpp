// File lines of compose descriptions (field count, field kinds, trimming, limits and names that
// would lead out of their folder), the hexadecimal rule, the OS mask and the working-folder layout,
// against hand-written expectations.
#include <gtest/gtest.h>

#include <string>

#include "base/strings.h"
#include "engine/file_entry.h"
#include "engine/os_mask.h"
#include "engine/work_paths.h"
#include "platform/os_version.h"

namespace engine {
namespace {

std::u16string U16(const std::string& text) { return base::Utf8ToUtf16(text); }
std::string U8(const std::u16string& text) { return base::Utf16ToUtf8(text); }

// n comma-separated fields "f0".."f{n-1}".
std::string Fields(int n) {
  std::string line;
  for (int i = 0; i < n; ++i) line += (i ? "," : "") + std::string("f") + std::to_string(i);
  return line;
}

TEST(DescFileEntry, AllFieldsOfAFullLine) {
  FileEntry entry;
  ASSERT_TRUE(ParseFileEntry(u"  main.exe ",
                             u" src ,  bin\\x64 ,1,2,0x105,7.9,1,-2,3,4, a.dll|b.dll , m.exe ,1A2B, kept ,1234,400",
                             &entry));
  EXPECT_EQ(entry.file_name, u"main.exe");
  EXPECT_EQ(entry.source_folder, u"src");
  EXPECT_EQ(entry.dest_folder, u"bin\\x64");
  EXPECT_EQ(entry.packed, 1u);
  EXPECT_EQ(entry.kind, 2u);
  EXPECT_EQ(entry.flags, 0u);  // "0x105" is a number: the digits stop at the "x"
  EXPECT_EQ(entry.order, 7u);
  EXPECT_EQ(entry.always_collect, 1);
  EXPECT_EQ(entry.rename_if_locked, -2);
  EXPECT_EQ(entry.needs_restart, 3);
  EXPECT_EQ(entry.field9, 4);
  EXPECT_EQ(entry.register_refs, u"a.dll|b.dll");
  EXPECT_EQ(entry.program_refs, u"m.exe");
  EXPECT_EQ(entry.checksum, 0x1A2Bu);
  EXPECT_EQ(entry.field13, u"kept");
  EXPECT_EQ(entry.size, 1234u);
  EXPECT_EQ(entry.os_mask, 0x400u);
}

TEST(DescFileEntry, FieldCount) {
  const struct {
    int fields;
    bool ok;
  } cases[] = {{1, false}, {15, false}, {16, true}, {20, true}, {25, true}};
  for (const auto& c : cases) {
    FileEntry entry;
    EXPECT_EQ(ParseFileEntry(u"a.dll", U16(Fields(c.fields)), &entry), c.ok) << c.fields;
  }
  // Fields after the 20th are not read, and extra fields never leak into the record.
  FileEntry entry;
  ASSERT_TRUE(ParseFileEntry(u"a.dll", u",,0,0,0,0,0,0,0,0,,,0,,0,0,x,y,z,w,v,u", &entry));
  EXPECT_EQ(entry.size, 0u);
  // Too few fields print the count message.
  testing::internal::CaptureStdout();
  EXPECT_FALSE(ParseFileEntry(u"a.dll", U16(Fields(15)), &entry));
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "   error ! Item Count error,current count is 14 ,request 16.\n       a.dll=" + Fields(15) +
                     " \n build tools exit!\n");
}

TEST(DescFileEntry, NumberAndHexFields) {
  const std::pair<const char*, uint32_t> numbers[] = {
      {"  12.99", 12},
      {"-1", 0xFFFFFFFF},           // truncated to 64 bits, low 32 kept
      {"4294967296", 0},            // 2^32: the low 32 bits are 0
      {"1e3", 1000},
      {"1e", 1},
      {"abc", 0},
      {"1e400", 0},                 // beyond the 64-bit range
      {"99999999999999999999", 0},
  };
  for (const auto& [text, value] : numbers) EXPECT_EQ(ParseDescriptionNumber(U16(text)), value) << text;
  // Hexadecimal fields are read from the end and stop at the first non-digit.
  const std::pair<const char16_t*, uint32_t> hex[] = {
      {u"", 0},         {u"1a2b", 0x1A2B}, {u"12G4", 0x4},    {u"FFFFFFFF", 0xFFFFFFFF},
      {u"123456789", 0x12345678},  // only the first 8 characters count
      {u"0x10", 0x10},  {u" 400", 0x400},  {u"400 ", 0}};
  for (const auto& [text, value] : hex) EXPECT_EQ(ParseDescriptionHex(text), value) << U8(text);
}

TEST(DescFileEntry, LongFieldsEndTheScan) {
  const std::string long_field(256, 'x');
  FileEntry entry;
  // A field reaching 256 characters before the 16th field: too few fields.
  testing::internal::CaptureStdout();
  EXPECT_FALSE(ParseFileEntry(u"a.dll", U16(Fields(3) + "," + long_field + "," + Fields(14)), &entry));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("current count is 3 ,"), std::string::npos);
  // A 255-character field is fine; one after the 16th field only loses the rest of the line.
  EXPECT_TRUE(ParseFileEntry(u"a.dll", U16(std::string(255, 'y') + ",bin" + ",0,0,0,0,0,0,0,0,,,0,,0,0"), &entry));
  EXPECT_EQ(entry.source_folder, U16(std::string(255, 'y')));
  EXPECT_TRUE(ParseFileEntry(u"a.dll", U16(",,0,0,0,0,0,0,0,0,,,0,,77,400," + long_field + ",more"), &entry));
  EXPECT_EQ(entry.size, 77u);
  EXPECT_EQ(entry.os_mask, 0x400u);
}

TEST(DescFileEntry, NamesThatLeaveTheirFolderAreMalformed) {
  const struct {
    const char* key;
    const char* field0;
    const char* field1;
    bool ok;
  } cases[] = {
      {"a.dll", "", "", true},
      {"sub\\a.dll", "src", "bin\\x64", true},
      {"a.dll", "", "%windir%\\Fonts", true},
      {"", "", "", false},
      {"   ", "", "", false},
      {"..\\a.dll", "", "", false},
      {"C:\\a.dll", "", "", false},
      {"\\a.dll", "", "", false},
      {"a.dll", "..", "", false},
      {"a.dll", "", "..\\..\\Windows", false},
      {"a.dll", "", "C:\\Windows", false},
      {"a.dll", "", "%windir%\\..\\x", false},
      {"a.dll", "", "$SYSTEM32\\..", false},
  };
  for (const auto& c : cases) {
    FileEntry entry;
    const std::string value = std::string(c.field0) + "," + c.field1 + ",0,0,0,0,0,0,0,0,,,0,,0,0";
    EXPECT_EQ(ParseFileEntry(U16(c.key), U16(value), &entry), c.ok) << c.key << " " << value;
  }
}

TEST(DescOsMask, VersionFactsMapToTheDocumentedBits) {
  using platform::kPlatformWindows9x;
  using platform::kPlatformWindowsNt;
  const struct {
    uint32_t platform_id, major, minor, service_pack;
    bool win64;
    OsMask expected;
  } cases[] = {
      {kPlatformWindows9x, 4, 0, 0, false, 0x00010001},
      {kPlatformWindows9x, 4, 20, 0, false, 0x00200001},  // unknown: "other"
      {kPlatformWindowsNt, 5, 1, 1, false, 0x00200002},  // XP before SP2 is "other"
      {kPlatformWindowsNt, 5, 1, 2, false, 0x00400002},
      {kPlatformWindowsNt, 5, 2, 0, false, 0x00800002},
      {kPlatformWindowsNt, 10, 0, 0, false, 0x00200002},
      // 64-bit Windows: only the 64-bit bit, whatever else holds.
      {kPlatformWindowsNt, 5, 2, 2, true, 0x02000000},
      {kPlatformWindowsNt, 6, 1, 1, true, 0x00000400},
  };
  for (const auto& c : cases) {
    platform::OsVersionFacts facts;
    facts.platform_id = c.platform_id;
    facts.major = c.major;
    facts.minor = c.minor;
    facts.service_pack_major = c.service_pack;
    facts.is_64bit_windows = c.win64;
    bool nt = c.platform_id != kPlatformWindowsNt;  // the opposite of the answer, so it must be written
    EXPECT_EQ(OsMaskFromVersion(facts, &nt), c.expected) << c.major << "." << c.minor << " sp" << c.service_pack;
    EXPECT_EQ(nt, c.platform_id == kPlatformWindowsNt);
  }
}

TEST(DescWorkPaths, FilesByLocation) {
  const WorkPaths paths(u"C:\\Norv");
  EXPECT_EQ(paths.ComposeFilePath(u"Core.x64", ComposeLocation::kBackup, 1),
            u"C:\\Norv\\Compose\\Core\\Backup\\Build_0001\\Core.out");
  EXPECT_EQ(paths.ComposeFilePath(u"Core", ComposeLocation::kBackup, 12345),
            u"C:\\Norv\\Compose\\Core\\Backup\\Build_12345\\Core.out");
  EXPECT_EQ(paths.ComposeFilePath(u"Core", ComposeLocation::kOutputChange),
            u"C:\\Norv\\OutputChange\\Core\\Output\\Core.out");
  FileEntry plain;
  plain.file_name = u"a.dll";
  plain.source_folder = u"src";
  plain.dest_folder = u"bin";
  plain.compose_name = u"Core";
  plain.compose_folder = u"Client";
  FileEntry prefixed = plain;
  prefixed.flags = kFilePrefixedCopies;
  const struct {
    const FileEntry* entry;
    ComposeLocation location;
    const char16_t* path;
  } cases[] = {
      {&plain, ComposeLocation::kSource, u"C:\\Norv\\Compose\\Core\\Source\\src\\a.dll"},
      {&prefixed, ComposeLocation::kBackup, u"C:\\Norv\\Compose\\Core\\Backup\\Build_0003\\src_bin_a.dll"},
      {&plain, ComposeLocation::kOutput, u"C:\\Norv\\Compose\\Core\\Output\\a.dll.out"},
      {&prefixed, ComposeLocation::kOutputChange, u"C:\\Norv\\OutputChange\\Core\\Output\\src_bin_a.dll.out"},
      {&plain, ComposeLocation::kInstalled, u"C:\\Norv\\Client\\bin\\a.dll"},
      {&plain, ComposeLocation::kTemp, u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(U8(FileEntryPath(paths, *c.entry, c.location, 3)), U8(c.path)) << static_cast<int>(c.location);
  }
  plain.compose_name = u"..";
  EXPECT_EQ(FileEntryPath(paths, plain, ComposeLocation::kSource), u"");
}

TEST(DescWorkPaths, NamesThatLeaveTheInstallFolderGiveNoPath) {
  const WorkPaths paths(u"C:\\Norv\\");
  for (const char16_t* name : {u"..", u"a\\b", u"a/b", u"C:x", u"", u"\\x"}) {
    EXPECT_EQ(paths.ComposeFilePath(name, ComposeLocation::kInstalled), u"") << U8(name);
    EXPECT_EQ(paths.ComposeDir(name), u"") << U8(name);
    EXPECT_EQ(paths.ProductFilePath(name), u"") << U8(name);
  }
  // The part after the first dot is no part of the file name.
  EXPECT_EQ(paths.ComposeFilePath(u"Core.\\..\\x", ComposeLocation::kInstalled), u"C:\\Norv\\Install\\Compose\\Core.out");
}

TEST(DescWorkPaths, TemporaryNames) {
  EXPECT_EQ(TempFileName(0, 0), u"K0_0.tmp");
  // a = 10000 % 4095 = 1810 (0x712); b = (10000 / 4095 + 5000 % 4095) / 2 = (2 + 905) / 2 = 453.
  EXPECT_EQ(TempFileName(10000, 5000), u"K712_1c5.tmp");
  EXPECT_EQ(TempFileName(0xFFFFFFFF, 4094), u"Kff_8087f.tmp");
  const std::u16string generated = WorkPaths(u"D:\\I").TempFilePath();
  EXPECT_TRUE(base::StartsWithIgnoreAsciiCase(generated, u"D:\\I\\Temp\\K")) << U8(generated);
  EXPECT_TRUE(base::EndsWithIgnoreAsciiCase(generated, u".tmp")) << U8(generated);
}

}  // namespace
}  // namespace engine
