// The OS mask, the hexadecimal rule and the working-folder layout, against hand-written
// expectations.
#include <gtest/gtest.h>

#include <string>

#include "base/strings.h"
#include "engine/file_entry.h"
#include "engine/os_mask.h"
#include "engine/work_paths.h"
#include "platform/os_version.h"

namespace engine {
namespace {

std::string U8(const std::u16string& text) { return base::Utf16ToUtf8(text); }

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

TEST(DescHexRule, ReadsFromTheEndAndStopsAtTheFirstNonDigit) {
  const std::pair<const char16_t*, uint32_t> cases[] = {
      {u"", 0},         {u"1a2b", 0x1A2B}, {u"12G4", 0x4},    {u"FFFFFFFF", 0xFFFFFFFF},
      {u"123456789", 0x12345678},  // only the first 8 characters count
      {u"0x10", 0x10},  {u" 400", 0x400},  {u"400 ", 0}};
  for (const auto& [text, value] : cases) EXPECT_EQ(ParseDescriptionHex(text), value) << U8(text);
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
