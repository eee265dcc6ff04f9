// Target paths with the folder facts of the running system (Wine, 64-bit prefix): 64-bit system
// files go to the real system folder, other "$SYSTEM32" files to the 32-bit one, and the
// environment form reads the process environment.
#include <gtest/gtest.h>

#include "base/strings.h"
#include "engine/target_path.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace {

std::string Lower(const std::u16string& text) { return base::Utf16ToUtf8(base::ToLowerAscii(text)); }

engine::FileEntry Entry(const char16_t* file, const char16_t* dest, uint32_t os_mask = 0) {
  engine::FileEntry entry;
  entry.file_name = file;
  entry.dest_folder = dest;
  entry.compose_folder = u"Client";
  entry.os_mask = os_mask;
  return entry;
}

TEST(TargetPathSystemTest, EveryFormWithTheRunningSystemsFolders) {
  const std::u16string w = platform::WindowsDirectory();
  ASSERT_FALSE(w.empty());
  const engine::TargetFolders folders = engine::SystemTargetFolders(engine::WorkPaths(u"C:\\Norv"));
  EXPECT_EQ(folders.install_dir, u"C:\\Norv\\");
  EXPECT_EQ(Lower(folders.windows), Lower(w));
  EXPECT_TRUE(platform::IsDirectory(folders.system));
  EXPECT_TRUE(platform::IsDirectory(folders.system_for64));
  const struct {
    engine::FileEntry entry;
    std::u16string expected;
  } cases[] = {
      {Entry(u"a.dll", u"$SYSTEM32"), w + u"\\syswow64\\a.dll"},
      {Entry(u"a.sys", u"$SYSTEM32\\drivers", engine::kOsWin64), w + u"\\system32\\drivers\\a.sys"},
      {Entry(u"a.dll", u"$System32", engine::kOsWin64Nt52), w + u"\\system32\\a.dll"},
      {Entry(u"a.ttf", u"$WINDOWS\\Fonts"), w + u"\\Fonts\\a.ttf"},
      {Entry(u"a.log", u"%WINDIR%\\NorvLog"), w + u"\\NorvLog\\a.log"},
      {Entry(u"a.ini", u"%NORV_SURELY_UNSET_VARIABLE%\\x"), u""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Lower(engine::FileTargetPath(c.entry, folders)), Lower(c.expected))
        << base::Utf16ToUtf8(c.entry.dest_folder);
  }
}

}  // namespace
