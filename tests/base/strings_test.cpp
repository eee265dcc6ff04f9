#include <gtest/gtest.h>

#include "base/byte_reader.h"
#include "base/path.h"
#include "base/strings.h"

namespace {

TEST(Utf, RoundTripsChineseAndAstralText) {
  const std::string utf8 = "安装提示 \xF0\x9F\x98\x80 ok";
  const std::u16string wide = base::Utf8ToUtf16(utf8);
  EXPECT_EQ(wide.substr(0, 4), u"安装提示");
  EXPECT_EQ(wide.size(), 4u + 1 + 2 + 3);
  EXPECT_EQ(base::Utf16ToUtf8(wide), utf8);
}

TEST(Utf, MalformedInputBecomesReplacementCharacters) {
  EXPECT_EQ(base::Utf8ToUtf16("a\xC0\xAF" "b"), u"a\uFFFD" "b");   // overlong: one replacement
  EXPECT_EQ(base::Utf8ToUtf16("\xE4\xB8"), u"\uFFFD");                    // truncated
  EXPECT_EQ(base::Utf8ToUtf16("\xED\xA0\x80"), u"\uFFFD");                // encoded surrogate
  EXPECT_EQ(base::Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

TEST(Names, CompareWithAsciiCaseFoldingOnly) {
  EXPECT_TRUE(base::EqualsIgnoreAsciiCase(u"CurVersion", u"curversion"));
  EXPECT_FALSE(base::EqualsIgnoreAsciiCase(u"\u00C4", u"\u00E4"));  // non-ASCII letters keep their case
  EXPECT_TRUE(base::StartsWithIgnoreAsciiCase(u"FIX_0", u"fix_"));
  EXPECT_EQ(base::TrimBlanks(u"  a b \t "), u"a b \t");
  EXPECT_EQ(base::NumberToUtf16(-2147483648LL), u"-2147483648");
}

TEST(Paths, ContainedNamesRejectEscapesAndPartsJoinAndSplit) {
  for (const char16_t* good : {u"a.txt", u"dir\\b.dll", u"x/y/z", u"..name", u"a..b\\c"}) {
    EXPECT_TRUE(base::IsContainedRelativePath(good)) << base::Utf16ToUtf8(good);
  }
  for (const char16_t* bad : {u"", u"..", u"..\\x", u"a\\..\\..\\x", u"a/../b", u"\\x", u"/etc/passwd",
                              u"C:\\Windows\\x", u"c:x", u"\\\\server\\share\\x", u"a\\.\\b"}) {
    EXPECT_FALSE(base::IsContainedRelativePath(bad)) << base::Utf16ToUtf8(bad);
  }
  // A folder name may end in a separator; a file name may not.
  EXPECT_TRUE(base::IsContainedRelativePath(u"sub\\"));
  EXPECT_FALSE(base::IsContainedFilePath(u"sub\\"));
  EXPECT_FALSE(base::IsContainedFilePath(u"..\\x"));
  EXPECT_TRUE(base::IsContainedFilePath(u"sub\\x"));
  const std::pair<std::u16string, std::u16string> with_backslash[] = {
      {u"", u""}, {u"C:\\a", u"C:\\a\\"}, {u"C:\\a\\", u"C:\\a\\"}, {u"C:/a/", u"C:/a/"}};
  for (auto [path, want] : with_backslash) {
    base::AddBackslash(path);  // only where no separator ends the path
    EXPECT_EQ(path, want);
  }
  EXPECT_EQ(base::JoinPath(u"c:\\a", u"b"), u"c:\\a\\b");
  EXPECT_EQ(base::JoinPath(u"c:\\a/", u"b"), u"c:\\a/b");
  EXPECT_EQ(base::FileNamePart(u"c:\\a/b.txt"), u"b.txt");
  EXPECT_EQ(base::ParentPart(u"c:\\a\\b.txt"), u"c:\\a");
}

TEST(ByteReader, RefusesToReadPastTheEnd) {
  const uint8_t data[] = {1, 0, 0, 0, 0xFF, 0xFF};
  base::ByteReader r(data, sizeof data);
  uint32_t v = 0;
  ASSERT_TRUE(r.ReadU32(&v));
  EXPECT_EQ(v, 1u);
  EXPECT_FALSE(r.ReadU32(&v));
  EXPECT_EQ(r.Position(), 4u);  // a failed read does not move
  std::u16string s;
  EXPECT_FALSE(r.ReadUtf16(2, &s));
  EXPECT_TRUE(r.ReadUtf16(1, &s));
  EXPECT_EQ(s, std::u16string(1, char16_t(0xFFFF)));
}

}  // namespace
