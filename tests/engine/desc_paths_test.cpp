// The OS mask, the hexadecimal rule and the working-folder layout: pure functions of their
// inputs, checked against hand-written expectations.
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

struct VersionCase {
  uint32_t platform_id;
  uint32_t major;
  uint32_t minor;
  uint32_t service_pack;
  bool win64;
  OsMask expected;
  bool expected_nt;
};

TEST(DescOsMask, VersionFactsMapToTheDocumentedBits) {
  using platform::kPlatformWin32s;
  using platform::kPlatformWindows9x;
  using platform::kPlatformWindowsNt;
  const VersionCase cases[] = {
      {kPlatformWindows9x, 4, 0, 0, false, 0x00010001, false},
      {kPlatformWindows9x, 4, 10, 0, false, 0x00020001, false},
      {kPlatformWindows9x, 4, 90, 0, false, 0x00040001, false},
      {kPlatformWindows9x, 4, 20, 0, false, 0x00200001, false},
      {kPlatformWindowsNt, 4, 0, 6, false, 0x00080002, true},
      {kPlatformWindowsNt, 5, 0, 4, false, 0x00100002, true},
      {kPlatformWindowsNt, 5, 1, 1, false, 0x00200002, true},
      {kPlatformWindowsNt, 5, 1, 2, false, 0x00400002, true},
      {kPlatformWindowsNt, 5, 1, 3, false, 0x00400002, true},
      {kPlatformWindowsNt, 5, 2, 0, false, 0x00800002, true},
      {kPlatformWindowsNt, 6, 0, 0, false, 0x01000002, true},
      {kPlatformWindowsNt, 6, 3, 0, false, 0x01000002, true},
      {kPlatformWindowsNt, 10, 0, 0, false, 0x00200002, true},
      {kPlatformWin32s, 3, 1, 0, false, 0x00200001, false},
      // 64-bit Windows: only the 64-bit bit, whatever else holds.
      {kPlatformWindowsNt, 5, 2, 2, true, 0x02000000, true},
      {kPlatformWindowsNt, 6, 1, 1, true, 0x00000400, true},
      {kPlatformWindowsNt, 5, 1, 2, true, 0x00000400, true},
      {kPlatformWindowsNt, 10, 0, 0, true, 0x00000400, true},
  };
  for (const VersionCase& c : cases) {
    platform::OsVersionFacts facts;
    facts.platform_id = c.platform_id;
    facts.major = c.major;
    facts.minor = c.minor;
    facts.service_pack_major = c.service_pack;
    facts.is_64bit_windows = c.win64;
    bool nt = !c.expected_nt;
    EXPECT_EQ(OsMaskFromVersion(facts, &nt), c.expected)
        << c.platform_id << " " << c.major << "." << c.minor << " sp" << c.service_pack << " win64=" << c.win64;
    EXPECT_EQ(nt, c.expected_nt);
  }
}

TEST(DescOsMask, RunningSystem) {
  bool nt = false;
  const OsMask mask = GetOsMask(&nt);
#ifdef _WIN32
  // A 64-bit program always runs on 64-bit Windows, and Wine reports no version 5.2.
  EXPECT_TRUE(platform::IsRunningUnder64BitWindows());
  EXPECT_EQ(mask, kOsWin64);
  EXPECT_TRUE(nt);
#else
  EXPECT_FALSE(platform::IsRunningUnder64BitWindows());
  EXPECT_EQ(mask, kOsOther | kOs9xFamily);
  EXPECT_FALSE(nt);
#endif
  EXPECT_EQ(GetOsMask(), mask);
}

TEST(DescHexRule, ReadsFromTheEndAndStopsAtTheFirstNonDigit) {
  const struct {
    const char16_t* text;
    uint32_t value;
  } cases[] = {
      {u"", 0},
      {u"1A2B", 0x1A2B},
      {u"1a2b", 0x1A2B},
      {u"12G4", 0x4},
      {u"G", 0},
      {u"FFFFFFFF", 0xFFFFFFFF},
      {u"123456789", 0x12345678},  // only the first 8 characters count
      {u"1000000", 0x1000000},
      {u"0x10", 0x10},             // reading from the end stops at the "x"
      {u" 400", 0x400},
      {u"400 ", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDescriptionHex(c.text), c.value) << U8(c.text);
}

TEST(DescWorkPaths, PrefixAndStem) {
  EXPECT_EQ(ComposePrefix(u"Core"), u"Core");
  EXPECT_EQ(ComposePrefix(u"Core.x64.lang"), u"Core");
  EXPECT_EQ(ComposePrefix(u".hidden"), u".hidden");
  EXPECT_EQ(FileStem(u"C:\\a\\Client.out"), u"Client");
  EXPECT_EQ(FileStem(u"C:\\a.b\\Client"), u"Client");
  EXPECT_EQ(FileStem(u"x/y/a.b.out"), u"a.b");
}

TEST(DescWorkPaths, ComposeFilesByLocation) {
  const WorkPaths paths(u"C:\\Norv");
  EXPECT_EQ(paths.InstallDir(), u"C:\\Norv\\");
  EXPECT_EQ(WorkPaths(u"C:\\Norv/").InstallDir(), u"C:\\Norv/");
  const struct {
    ComposeLocation location;
    uint32_t build;
    const char16_t* path;
  } cases[] = {
      {ComposeLocation::kSource, 1, u"C:\\Norv\\Compose\\Core\\Source\\Core.out"},
      {ComposeLocation::kBackup, 1, u"C:\\Norv\\Compose\\Core\\Backup\\Build_0001\\Core.out"},
      {ComposeLocation::kBackup, 12345, u"C:\\Norv\\Compose\\Core\\Backup\\Build_12345\\Core.out"},
      {ComposeLocation::kOutput, 1, u"C:\\Norv\\Compose\\Core\\Output\\Core.out"},
      {ComposeLocation::kInstalled, 1, u"C:\\Norv\\Install\\Compose\\Core.out"},
      {ComposeLocation::kTemp, 1, u"C:\\Norv\\Temp\\Compose\\Core.out"},
      {ComposeLocation::kOutputChange, 1, u"C:\\Norv\\OutputChange\\Core\\Output\\Core.out"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(U8(paths.ComposeFilePath(u"Core.x64", c.location, c.build)), U8(c.path));
  }
  EXPECT_EQ(paths.ProductFilePath(u"Norv"), u"C:\\Norv\\Install\\Product\\Norv.out");
  EXPECT_EQ(paths.OutputChangeDir(), u"C:\\Norv\\OutputChange\\");
  EXPECT_EQ(paths.TempFilePath(u"Core_a.dll.out"), u"C:\\Norv\\Temp\\Core_a.dll.out");
  EXPECT_EQ(paths.InstallDir(u"Install\\install.ini"), u"C:\\Norv\\Install\\install.ini");
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

TEST(DescWorkPaths, PerFilePathsByLocation) {
  const WorkPaths paths(u"C:\\Norv\\");
  FileEntry plain;
  plain.file_name = u"a.dll";
  plain.source_folder = u"src";
  plain.dest_folder = u"bin";
  plain.compose_name = u"Core";
  plain.compose_folder = u"Client";
  FileEntry prefixed = plain;
  prefixed.flags = kFilePrefixedCopies;
  FileEntry bare = plain;
  bare.source_folder.clear();
  bare.dest_folder.clear();
  bare.compose_folder.clear();

  const struct {
    const FileEntry* entry;
    ComposeLocation location;
    const char16_t* path;
  } cases[] = {
      {&plain, ComposeLocation::kSource, u"C:\\Norv\\Compose\\Core\\Source\\src\\a.dll"},
      {&bare, ComposeLocation::kSource, u"C:\\Norv\\Compose\\Core\\Source\\a.dll"},
      {&plain, ComposeLocation::kBackup, u"C:\\Norv\\Compose\\Core\\Backup\\Build_0003\\a.dll"},
      {&prefixed, ComposeLocation::kBackup, u"C:\\Norv\\Compose\\Core\\Backup\\Build_0003\\src_bin_a.dll"},
      {&plain, ComposeLocation::kOutput, u"C:\\Norv\\Compose\\Core\\Output\\a.dll.out"},
      {&prefixed, ComposeLocation::kOutput, u"C:\\Norv\\Compose\\Core\\Output\\src_bin_a.dll.out"},
      {&prefixed, ComposeLocation::kOutputChange, u"C:\\Norv\\OutputChange\\Core\\Output\\src_bin_a.dll.out"},
      {&plain, ComposeLocation::kInstalled, u"C:\\Norv\\Client\\bin\\a.dll"},
      {&bare, ComposeLocation::kInstalled, u"C:\\Norv\\a.dll"},
      {&plain, ComposeLocation::kTemp, u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(U8(FileEntryPath(paths, *c.entry, c.location, 3)), U8(c.path))
        << static_cast<int>(c.location) << " flags=" << c.entry->flags;
  }
  FileEntry escaping = plain;
  escaping.compose_name = u"..";
  EXPECT_EQ(FileEntryPath(paths, escaping, ComposeLocation::kSource), u"");
}

}  // namespace
}  // namespace engine
