#include <gtest/gtest.h>

#include <string>

#include "base/path.h"
#include "base/strings.h"
#include "platform/fs.h"
#include "platform/system.h"

namespace {

TEST(System, FoldersAndTheRunningProgram) {
  const std::u16string module = platform::ModuleFilePath();
  EXPECT_TRUE(platform::PathExists(module));
  const std::u16string name(base::FileNamePart(module));
#ifdef _WIN32
  EXPECT_EQ(name, u"platform_tests.exe");
  EXPECT_TRUE(platform::IsDirectory(platform::ProgramFilesFolder()));
  EXPECT_TRUE(base::EndsWithIgnoreAsciiCase(platform::ProgramFilesFolder(), u"\\Program Files (x86)"));
#else
  EXPECT_EQ(name, u"platform_tests");
  EXPECT_EQ(platform::ProgramFilesFolder(), u"");
#endif
  const std::u16string windows = platform::WindowsDirectory();
  EXPECT_TRUE(platform::IsDirectory(windows));
  EXPECT_FALSE(base::EndsWithSeparator(windows));
  const std::u16string temp = platform::TempDirectory();
  EXPECT_TRUE(platform::IsDirectory(temp));
  EXPECT_TRUE(base::EndsWithSeparator(temp));
}

uint32_t FixedTicks() { return 4242; }

TEST(System, TheTickSourceCanBeReplacedAndRestored) {
  EXPECT_EQ(platform::SetTickCountSource(&FixedTicks), nullptr);
  EXPECT_EQ(platform::TickCount(), 4242u);
  EXPECT_EQ(platform::SetTickCountSource(nullptr), &FixedTicks);
  const uint32_t a = platform::TickCount();
  const uint32_t b = platform::SystemTickCount();
  EXPECT_LE(b - a, 10000u);  // both are the system's count again
}

TEST(System, LocalTimeFieldsAreInRange) {
  const platform::LocalTime t = platform::CurrentLocalTime();
  EXPECT_GE(t.year, 2020);
  EXPECT_TRUE(t.month >= 1 && t.month <= 12 && t.day >= 1 && t.day <= 31);
  EXPECT_TRUE(t.hour >= 0 && t.hour <= 23 && t.minute >= 0 && t.minute <= 59 && t.second >= 0 && t.second <= 60);
}

TEST(System, AnsiConversionAndMessages) {
  EXPECT_EQ(platform::ToAnsi(u"plain ASCII 123"), "plain ASCII 123");
  EXPECT_EQ(platform::ToAnsi(u""), "");
#ifdef _WIN32
  EXPECT_EQ(platform::ToAnsi(u"a\u2603b"), "a?b");  // in no ANSI code page
#else
  EXPECT_EQ(platform::ToAnsi(u"a\u2603b"), "a\xE2\x98\x83" "b");
#endif
  std::string text;
  EXPECT_TRUE(platform::SystemMessageText(2, &text));
  EXPECT_GT(text.size(), 2u);
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_FALSE(platform::SystemMessageText(0x7654321, &text));
  EXPECT_EQ(text, "");
  std::u16string resource = u"stale";
  EXPECT_FALSE(platform::LoadStringResource(0xFFF0, &resource));
  EXPECT_EQ(resource, u"");
}

}  // namespace
