// File lines of compose descriptions: field count, field kinds, trimming, limits and names that
// would lead out of their folder.
#include <gtest/gtest.h>

#include <string>

#include "base/strings.h"
#include "engine/file_entry.h"

namespace engine {
namespace {

std::u16string U16(const std::string& text) { return base::Utf8ToUtf16(text); }

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

TEST(DescFileEntry, NumberFields) {
  const struct {
    const char* text;
    uint32_t value;
  } cases[] = {
      {"  12.99", 12},
      {"-1", 0xFFFFFFFF},           // truncated to 64 bits, low 32 kept
      {"4294967296", 0},            // 2^32: the low 32 bits are 0
      {"1e3", 1000},
      {"1e", 1},
      {"abc", 0},
      {"1e400", 0},                 // beyond the 64-bit range
      {"99999999999999999999", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseDescriptionNumber(U16(c.text)), c.value) << c.text;
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

}  // namespace
}  // namespace engine
