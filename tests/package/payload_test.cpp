#include "package/payload.h"

#include <gtest/gtest.h>

#include "package/package_test_files.h"
#include "package/payload_test_bytes.h"
#include "support/scratch_dir.h"

namespace {
using namespace payload_test;
using package_test::Buf;
using package_test::Noise;
using testing_support::Exists;
using testing_support::ReadBytes;
using testing_support::ScratchDir;
using testing_support::WriteBytes;

// A program file laid out by hand: image of image_size bytes, then part 1, then part 2.
Buf ProgramWithParts(const Buf& part1, const Buf& part2, size_t image_size = 200) {
  const uint32_t p1 = static_cast<uint32_t>(image_size);
  const uint32_t p2 = static_cast<uint32_t>(image_size + part1.size());
  Buf out = ProgramHeader(image_size, true,
                          {p1, static_cast<uint32_t>(part1.size()), part2.empty() ? 0 : p2, static_cast<uint32_t>(part2.size())});
  out.insert(out.end(), part1.begin(), part1.end());
  out.insert(out.end(), part2.begin(), part2.end());
  return out;
}

TEST(PayloadTable, ReadsHighWordFirstValuesBehindTheMarker) {
  Buf header(64, 0);
  const uint8_t table[] = {0x5A, 0x57, 0x01, 0x00, 0x45, 0x23, 0x00, 0x00, 0x10, 0x00, 0x02,
                           0x00, 0x55, 0x23, 0x34, 0x12, 0x78, 0x56, 0x00, 0x00};
  std::copy(std::begin(table), std::end(table), header.begin() + 0x28);
  package::PayloadTable parsed;
  ASSERT_TRUE(package::ReadPayloadTable(header.data(), header.size(), &parsed));
  EXPECT_EQ(parsed.part1.offset, 0x00012345u);
  EXPECT_EQ(parsed.part1.length, 0x00000010u);
  EXPECT_EQ(parsed.part2.offset, 0x00022355u);
  EXPECT_EQ(parsed.part2.length, 0x12345678u);

  // (The writer's bytes are checked through StampPayload, against the hand-made layout.)
  EXPECT_FALSE(package::ReadPayloadTable(header.data(), 63, &parsed));
  header[0x29] = 0x58;  // marker gone
  EXPECT_FALSE(package::ReadPayloadTable(header.data(), header.size(), &parsed));
}

TEST(HasPackagePart, AnswersFromTheTable) {
  const struct {
    const char* what;
    Buf file;
    bool expected;
  } cases[] = {
      {"both part 2 fields set", ProgramHeader(64, true, {64, 10, 74, 10}), true},
      {"part 2 length 0 (download-type setup)", ProgramHeader(64, true, {64, 10, 74, 0}), false},
      {"part 2 offset 0", ProgramHeader(64, true, {64, 10, 0, 10}), false},
      {"no marker", ProgramHeader(64, false, {}), false},
      {"file shorter than a DOS header", Buf(10, 'M'), false},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    WriteBytes(dir.Join(u"setup.exe"), c.file);
    EXPECT_EQ(package::HasPackagePart(dir.Join(u"setup.exe")), c.expected) << c.what;
  }
  // A program file that cannot be opened counts as carrying the package.
  EXPECT_TRUE(package::HasPackagePart(dir.Join(u"missing.exe")));
}

TEST(ExtractPayloadPart, CopiesEachPartExactly) {
  ScratchDir dir;
  const Buf part1 = Noise(4096 * 2 + 17, 1);  // crosses the copy buffer's boundary
  const Buf part2 = Noise(333, 9);
  WriteBytes(dir.Join(u"setup.exe"), ProgramWithParts(part1, part2));
  ASSERT_TRUE(package::ExtractPayloadPart(dir.Join(u"setup.exe"), dir.Join(u"p1"), 1));
  ASSERT_TRUE(package::ExtractPayloadPart(dir.Join(u"setup.exe"), dir.Join(u"p2"), 2));
  EXPECT_EQ(ReadBytes(dir.Join(u"p1")), part1);
  EXPECT_EQ(ReadBytes(dir.Join(u"p2")), part2);

  // An existing destination is replaced, not appended to.
  ASSERT_TRUE(package::ExtractPayloadPart(dir.Join(u"setup.exe"), dir.Join(u"p1"), 2));
  EXPECT_EQ(ReadBytes(dir.Join(u"p1")), part2);

  WriteBytes(dir.Join(u"setup.exe"), ProgramWithParts(Noise(50, 3), {}));
  ASSERT_TRUE(package::ExtractPayloadPart(dir.Join(u"setup.exe"), dir.Join(u"empty"), 2));
  EXPECT_TRUE(Exists(dir.Join(u"empty")));
  EXPECT_TRUE(ReadBytes(dir.Join(u"empty")).empty());
}

TEST(ExtractPayloadPart, FailsWithoutCreatingTheDestination) {
  Buf truncated = ProgramWithParts(Noise(100, 1), Noise(100, 2));
  truncated.resize(truncated.size() - 1);
  const struct {
    const char* what;
    Buf file;
    int part;
  } cases[] = {
      {"no marker", ProgramHeader(300, false, {}), 1},
      {"part 2 cut short by one byte", truncated, 2},
      {"part beyond the end of the file", ProgramHeader(64, true, {64, 0, 0x10000, 5}), 2},
      {"part number 3", ProgramWithParts(Noise(10, 1), Noise(10, 2)), 3},
  };
  ScratchDir dir;
  for (const auto& c : cases) {
    WriteBytes(dir.Join(u"setup.exe"), c.file);
    EXPECT_FALSE(package::ExtractPayloadPart(dir.Join(u"setup.exe"), dir.Join(u"out"), c.part)) << c.what;
    EXPECT_FALSE(Exists(dir.Join(u"out"))) << c.what;
  }
  EXPECT_FALSE(package::ExtractPayloadPart(dir.Join(u"missing.exe"), dir.Join(u"out"), 1));
  // Destination folder missing: the copy cannot be created.
  WriteBytes(dir.Join(u"setup.exe"), ProgramWithParts(Noise(10, 1), Noise(10, 2)));
  EXPECT_FALSE(package::ExtractPayloadPart(dir.Join(u"setup.exe"), dir.Join(u"no-such-folder/out"), 1));
}

TEST(StampPayload, LaysOutImageTableAndPartsAndRestamps) {
  const Buf image = ProgramHeader(300, false, {});
  const Buf part1 = Noise(77, 5), part2 = Noise(91, 6);
  Buf stamped;
  std::string error;
  ASSERT_TRUE(package::StampPayload(image, part1, &part2, &stamped, &error)) << error;
  // The image with the table written high word first, then the parts: as laid out by hand.
  EXPECT_EQ(stamped, ProgramWithParts(part1, part2, 300));

  // Stamping the result again replaces the payload; without part 2 the table's part 2 is zero.
  Buf restamped;
  ASSERT_TRUE(package::StampPayload(stamped, part2, nullptr, &restamped, &error)) << error;
  EXPECT_EQ(restamped, ProgramWithParts(part2, {}, 300));

  EXPECT_FALSE(package::StampPayload(WithByte(image, 0, 'X'), part1, nullptr, &stamped, &error));
  EXPECT_FALSE(package::StampPayload(WithByte(image, 0x30, 1), part1, nullptr, &stamped, &error));
  EXPECT_FALSE(error.empty());
}

TEST(ExtractBigFile, NamesTheCopyAfterTheTickCountInHex) {
  ScratchDir dir;
  const Buf part2 = Noise(5000, 4);
  WriteBytes(dir.Join(u"setup.exe"), ProgramWithParts(Noise(20, 1), part2));
  const std::u16string work = dir.path() + u"/";
  const std::u16string path = package::ExtractBigFileFrom(dir.Join(u"setup.exe"), work, 0x1A2B3C);
  EXPECT_EQ(path, work + u"Big1A2B3C.dat");
  EXPECT_EQ(ReadBytes(path), part2);
  EXPECT_EQ(package::ExtractBigFileFrom(dir.Join(u"setup.exe"), work, 0), work + u"Big0.dat");

  WriteBytes(dir.Join(u"plain.exe"), ProgramHeader(100, false, {}));
  EXPECT_EQ(package::ExtractBigFileFrom(dir.Join(u"plain.exe"), work, 5), u"");
}

class PrepareSkinPartTest : public testing::Test {
 protected:
  ScratchDir dir_;
  std::u16string url_ = u"unset";
};

TEST_F(PrepareSkinPartTest, ExtractsGroupAndGivesDownloadUrl) {
  const Buf container =
      Container(u"http://127.0.0.1/pkg.dat", 3,
                {{u"DIR-SetupSkinPart1|norvframe.ini", Bytes("[Main]\r\n")},
                 {u"DIR-SetupSkinPart2|copy.htm", Bytes("<html>")}});
  WriteBytes(dir_.Join(u"setup.exe"), ProgramWithParts(PackedFile(container), Noise(64, 8)));
  const std::u16string work = dir_.Join(u"work");  // not there yet: created on the way

  const std::u16string style = package::PrepareSkinPartFrom(dir_.Join(u"setup.exe"), work, &url_);
  ASSERT_EQ(style, work + u"\\Style\\");
  EXPECT_EQ(url_, u"http://127.0.0.1/pkg.dat");
  EXPECT_EQ(ReadBytes(dir_.Join(u"work/Style/norvframe.ini")), Bytes("[Main]\r\n"));
  EXPECT_FALSE(Exists(dir_.Join(u"work/Style/copy.htm")));
  EXPECT_EQ(ReadBytes(dir_.Join(u"work/Part1.dat")), container);
  EXPECT_TRUE(Exists(dir_.Join(u"work/Part1.dat.zqp")));

  // A second showing of the welcome page does it all again over the same files.
  WriteBytes(dir_.Join(u"work/Style/norvframe.ini"), Bytes("changed"));
  ASSERT_EQ(package::PrepareSkinPartFrom(dir_.Join(u"setup.exe"), work), style);
  EXPECT_EQ(ReadBytes(dir_.Join(u"work/Style/norvframe.ini")), Bytes("[Main]\r\n"));
}

TEST_F(PrepareSkinPartTest, DamagedPartOneGivesEmptyResult) {
  const Buf container = Container(u"http://x/", 3, {{u"DIR-SetupSkinPart1|a.ini", Bytes("a")}});
  Buf bad_crc = PackedFile(container);
  bad_crc[bad_crc.size() - 5] ^= 0x40;  // the member's CRC
  const struct {
    const char* what;
    Buf program;
  } cases[] = {
      {"no payload table", ProgramHeader(100, false, {})},
      {"part 1 not a packed file", ProgramWithParts(container, {})},
      {"packed member with a wrong CRC", ProgramWithParts(bad_crc, {})},
      {"packed content not a container", ProgramWithParts(PackedFile(Bytes("plain text")), {})},
  };
  for (const auto& c : cases) {
    WriteBytes(dir_.Join(u"setup.exe"), c.program);
    EXPECT_EQ(package::PrepareSkinPartFrom(dir_.Join(u"setup.exe"), dir_.Join(u"work"), &url_), u"") << c.what;
    EXPECT_EQ(url_, u"unset") << c.what;
  }
}

}  // namespace
