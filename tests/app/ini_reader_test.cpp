#include "app/ini_reader.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/strings.h"
#include "support/scratch_dir.h"

namespace {

using app::CIniReader;
using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::Utf16Bytes;
using testing_support::WriteBytes;

void Parse(CIniReader& reader, std::u16string_view text, bool bom = false) {
  const auto bytes = Utf16Bytes(text, bom);
  ASSERT_TRUE(reader.ParseBuffer(bytes.data(), bytes.size()));
}

std::string Narrow(std::u16string_view text) { return base::Utf16ToUtf8(text); }

TEST(IniReaderParse, LinesBecomeSectionsAndEntriesByTheFileRules) {
  const struct {
    const char* what;
    std::u16string text, section, key;
    bool present;
    std::u16string value;
  } cases[] = {
      {"names compare without ASCII case", u"[Version]\r\nCurVersion=12\r\n", u"version", u"curversion", true, u"12"},
      {"key trimmed, leading value blanks kept, trailing line blanks gone", u"[S]\r\n  key  =  value  \r\n", u"S",
       u"key", true, u"  value"},
      {"a semicolon cuts the value", u"[S]\r\nk=a;b\r\n", u"S", u"k", true, u"a"},
      {"two quotes read as empty", u"[S]\r\nk=\"\"\r\n", u"S", u"k", true, u""},
      {"a quote before the last character cuts there", u"[S]\r\nk=a\"b\r\n", u"S", u"k", true, u"a"},
      {"a quote further in stays", u"[S]\r\nk=a\"bc\r\n", u"S", u"k", true, u"a\"bc"},
      {"tabs become spaces", u"[S]\r\nk=\tv\tw\r\n", u"S", u"k", true, u" v w"},
      {"LF-only lines", u"[S]\na=1\nb=2", u"S", u"b", true, u"2"},
      {"missing closing bracket", u"[Name\r\nk=v\r\n", u"Name", u"k", true, u"v"},
      {"comment in a header", u"[Name;x]\r\nk=v\r\n", u"Name", u"k", true, u"v"},
      {"entries before the first header are dropped", u"k=1\r\n[S]\r\nj=2\r\n", u"S", u"k", false, u""},
      {"an indented header is an entry of the section before", u"[A]\r\n  [B]\r\nk=1\r\n", u"A", u"k", true, u"1"},
      {"duplicate keys: the first wins", u"[S]\r\nk=1\r\nK=2\r\n", u"S", u"k", true, u"1"},
      {"duplicate sections: the first wins", u"[S]\r\nk=1\r\n[s]\r\nk=2\r\n", u"S", u"k", true, u"1"},
      {"a U+0000 ends the line", std::u16string(u"[S]\r\nk=ab") + u'\0' + u"cd\r\nj=1\r\n", u"S", u"k", true, u"ab"},
      {"the line after a U+0000 is read", std::u16string(u"[S]\r\nk=ab") + u'\0' + u"cd\r\nj=1\r\n", u"S", u"j", true,
       u"1"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    CIniReader reader;
    Parse(reader, c.text);
    const app::IniEntry* entry = reader.GetEntry(c.section, c.key);
    EXPECT_EQ(entry != nullptr, c.present);
    EXPECT_EQ(Narrow(reader.GetString(c.section, c.key)), Narrow(c.value));
  }
}

TEST(IniReaderParse, ByteOrderMarksAreDroppedAndAnOddByteIgnored) {
  const std::u16string text = u"[S]\r\nk=v\r\n";
  std::vector<std::vector<unsigned char>> inputs = {Utf16Bytes(text, false), Utf16Bytes(text, true),
                                                    Utf16Bytes(u"\uFFFE" + text, false), Utf16Bytes(text + u'x')};
  inputs.back().pop_back();
  for (const auto& bytes : inputs) {
    CIniReader reader;
    reader.ParseBuffer(bytes.data(), bytes.size());
    ASSERT_EQ(reader.SectionCount(), 1u);
    ASSERT_EQ(reader.SectionAt(0)->EntryCount(), 1u);
    EXPECT_EQ(reader.GetString(u"S", u"k"), u"v");
  }
  // Only the first unit is a byte-order mark.
  CIniReader reader;
  Parse(reader, u"[S]\r\n\uFEFFk=v\r\n", true);
  EXPECT_EQ(reader.GetString(u"S", u"\uFEFFk"), u"v");
}

TEST(IniReaderParse, LineWithoutEqualsSignIsAnEmptyEntry) {
  CIniReader reader;
  Parse(reader, u"; note\r\n[S]\r\n\r\nlonely\r\nk=v\r\n");
  app::IniSection* s = reader.FindSection(u"s");
  ASSERT_NE(s, nullptr);
  ASSERT_EQ(s->EntryCount(), 2u);
  EXPECT_EQ(s->EntryAt(0)->Key(), u"");
  EXPECT_EQ(s->EntryAt(0)->Value(), u"");
  EXPECT_EQ(s->EntryAt(1)->Key(), u"k");
  // Items keep the line they were read from; one added in memory has none.
  EXPECT_EQ(s->Line(), 2);
  EXPECT_EQ(s->EntryAt(0)->Line(), 4);
  EXPECT_EQ(s->EntryAt(1)->Line(), 5);
  EXPECT_EQ(s->AddEntry(u"new", u"1")->Line(), 0);
}


TEST(IniReaderLimits, LongLinesAreJoinedAndCut) {
  const struct {
    const char* what;
    size_t value_length;  // characters after "k="
    size_t expected_length;
  } cases[] = {
      {"exactly the line limit", 2045, 2045},
      {"one over the line limit", 2046, 2045},
      {"far beyond the limit", 100000, 2045},
      {"a line of exactly 1023 units", 1021, 1021},
      {"a line of exactly 2046 units", 2044, 2044},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    for (const char16_t* end : {u"\r\n", u"\n"}) {
      std::u16string value(c.value_length, u'x');
      for (size_t i = 0; i < value.size(); i += 97) value[i] = u'0' + static_cast<char16_t>(i % 10);
      CIniReader reader;
      Parse(reader, u"[S]" + std::u16string(end) + u"k=" + value + end + u"next=1" + end);
      EXPECT_EQ(reader.GetString(u"S", u"k"), value.substr(0, c.expected_length));
      // The line after a long one stays a line of its own.
      EXPECT_EQ(reader.GetString(u"S", u"next"), u"1");
      EXPECT_EQ(reader.FindSection(u"S")->EntryCount(), 2u);
      EXPECT_EQ(reader.GetEntry(u"S", u"next")->Line(), 3);
    }
  }
}

TEST(IniReaderLimits, KeysAndSectionNamesAreCutTo127) {
  const std::u16string long_name(300, u'n');
  const std::u16string long_key(300, u'k');
  CIniReader reader;
  Parse(reader, u"[" + long_name + u"]\r\n" + long_key + u"=v\r\n");
  ASSERT_EQ(reader.SectionCount(), 1u);
  EXPECT_EQ(reader.SectionAt(0)->Name(), long_name.substr(0, 127));
  EXPECT_EQ(reader.SectionAt(0)->EntryAt(0)->Key(), long_key.substr(0, 127));

  // SetString keeps the same limits and finds what it stored under the long name again.
  CIniReader writer;
  writer.SetString(long_name, long_key, std::u16string(5000, u'v'));
  writer.SetString(long_name, long_key, u"second");
  ASSERT_EQ(writer.SectionCount(), 1u);
  ASSERT_EQ(writer.SectionAt(0)->EntryCount(), 1u);
  EXPECT_EQ(writer.SectionAt(0)->EntryAt(0)->Value(), u"second");
  writer.SectionAt(0)->EntryAt(0)->SetValue(std::u16string(5000, u'v'));
  EXPECT_EQ(writer.SectionAt(0)->EntryAt(0)->Value().size(), 2047u);
}

TEST(IniReaderNumbers, GetIntReadsLikeTheStandardConversion) {
  CIniReader reader;
  Parse(reader,
        u"[N]\r\nletters=abc\r\nempty=\r\nminus=-5\r\nplus=  +7x\r\nbig=99999999999\r\nsmall=-99999999999\r\n"
        u"blanks=   \r\nsign=-\r\n");
  const std::pair<const char16_t*, int32_t> cases[] = {
      {u"letters", 0}, {u"empty", 77},         {u"missing", 77},      {u"minus", -5},
      {u"plus", 7},    {u"big", INT32_MAX},    {u"small", INT32_MIN}, {u"blanks", 77} /* trimmed empty */,
      {u"sign", 0}};
  for (const auto& [key, expected] : cases) {
    EXPECT_EQ(reader.GetInt(u"n", key, 77), expected) << Narrow(key);
    EXPECT_EQ(reader.GetLong(u"n", key, 77), static_cast<long>(expected)) << Narrow(key);
  }
  EXPECT_EQ(reader.GetInt(u"Other", u"minus", -1), -1);
  EXPECT_EQ(reader.GetInt(nullptr, u"minus", -1), -1);
}

TEST(IniReaderChange, SetStringAndRemovalActOnTheFirstMatch) {
  CIniReader reader;
  Parse(reader, u"[A]\r\nk=1\r\nk=2\r\n[B]\r\nx=1\r\n");
  EXPECT_TRUE(reader.SetString(u"a", u"K", u"changed"));
  EXPECT_TRUE(reader.SetString(u"A", u"new", u" spaced "));
  EXPECT_TRUE(reader.SetString(u" C ", u" key ", u"v"));
  EXPECT_TRUE(reader.SetString(u"C", u"key", u"w"));
  EXPECT_FALSE(reader.SetString(nullptr, u"k", u"v"));
  app::IniSection* a = reader.FindSection(u"A");
  ASSERT_EQ(a->EntryCount(), 3u);
  EXPECT_EQ(a->EntryAt(0)->Value(), u"changed");
  EXPECT_EQ(a->EntryAt(1)->Value(), u"2");
  EXPECT_EQ(a->EntryAt(2)->Value(), u" spaced ");
  ASSERT_EQ(reader.SectionCount(), 3u);
  EXPECT_EQ(reader.SectionAt(2)->Name(), u"C");
  EXPECT_EQ(reader.SectionAt(2)->EntryCount(), 1u);
  EXPECT_EQ(reader.GetString(u"C", u"key"), u"w");

  a->RemoveEntry(3);  // beyond the end: nothing
  a->RemoveKey(u"K");
  ASSERT_EQ(a->EntryCount(), 2u);
  EXPECT_EQ(a->FindEntry(u"k")->Value(), u"2");
  a->RemoveEntry(0);
  EXPECT_EQ(a->EntryAt(0)->Key(), u"new");
  EXPECT_EQ(a->EntryAt(1), nullptr);
  EXPECT_EQ(reader.GetEntry(nullptr, u"x"), nullptr);
  EXPECT_EQ(reader.GetEntry(u"B", static_cast<const char16_t*>(nullptr)), nullptr);
}

TEST(IniReaderFile, SaveWritesTheExactBytesOverAReadOnlyFile) {
  ScratchDir dir;
  const std::u16string path = dir.Join(u"desc.out");
  // No byte-order mark, LF-only lines, a comment, a line before the header, a line without "=",
  // quotes and a duplicate section.
  WriteBytes(path,
             Utf16Bytes(u"orphan=1\n[Product]\nName=\"安装\"\n; note\nbare\n\n[Empty]\n[product]\nk=v\n", false));
  CIniReader reader;
  ASSERT_TRUE(reader.LoadTzFile(path.c_str()));
  std::filesystem::permissions(testing_support::Native(path), std::filesystem::perms::owner_write,
                               std::filesystem::perm_options::remove);
  reader.SetString(u"Added", u"Key", u"Value");
  ASSERT_TRUE(reader.Save());
  EXPECT_EQ(ReadBytes(path), Utf16Bytes(u"[Product]\r\nName=安装\r\n=\r\n\r\n[Empty]\r\n\r\n[product]\r\nk=v\r\n\r\n"
                                        u"[Added]\r\nKey=Value\r\n\r\n"));
  CIniReader again;
  ASSERT_TRUE(again.LoadTzFile(path));
  EXPECT_EQ(again.GetString(u"product", u"name"), u"安装");
}

TEST(IniReaderFile, LoadFailsForMissingEmptyAndUnusablePaths) {
  ScratchDir dir;
  WriteBytes(dir.Join(u"empty.ini"), {});
  WriteBytes(dir.Join(u"full.ini"), Utf16Bytes(u"[S]\r\nk=v\r\n"));
  CIniReader reader;
  ASSERT_TRUE(reader.LoadTzFile(dir.Join(u"full.ini")));
  EXPECT_EQ(reader.FileSize(), 22u);
  EXPECT_FALSE(reader.LoadTzFile(dir.Join(u"missing.ini")));
  EXPECT_EQ(reader.FileSize(), 0u);
  EXPECT_EQ(reader.SectionCount(), 0u);
  EXPECT_FALSE(reader.LoadTzFile(dir.Join(u"empty.ini")));
  EXPECT_FALSE(reader.LoadTzFile(dir.Join(std::u16string(300, u'a'))));
  EXPECT_TRUE(reader.Path().empty());
  EXPECT_FALSE(reader.Save());  // nothing remembered to write to
  EXPECT_FALSE(reader.SaveAs(dir.Join(u"no-such-folder\\x.ini")));
  EXPECT_FALSE(testing_support::Exists(dir.Join(u"no-such-folder")));
  // An empty reader writes only the byte-order mark.
  ASSERT_TRUE(CIniReader().SaveAs(dir.Join(u"new.ini")));
  EXPECT_EQ(ReadBytes(dir.Join(u"new.ini")), (std::vector<unsigned char>{0xFF, 0xFE}));
}

}  // namespace
