// File checksums measured on real files, against an independent bitwise CRC-32 and fixed values.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/checksum.h"
#include "engine/file_entry.h"
#include "support/scratch_dir.h"

namespace {

using Bytes = std::vector<unsigned char>;

// Bitwise reflected CRC-32, chained the way stored checksums are: inverted on entry and exit.
uint32_t ReferenceCrc(uint32_t crc, const Bytes& data, size_t from, size_t to) {
  crc = ~crc;
  for (size_t i = from; i < to; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

Bytes Pattern(size_t size) {
  Bytes out(size);
  uint32_t x = 0x12345678u;
  for (auto& b : out) {
    x = x * 1103515245u + 12345u;
    b = static_cast<unsigned char>(x >> 16);
  }
  return out;
}

struct Written {
  testing_support::ScratchDir dir;
  std::u16string path;
  explicit Written(const Bytes& bytes) : path(dir.Join(u"file.bin")) { testing_support::WriteBytes(path, bytes); }
};

TEST(ChecksumTest, FullChecksumFixedValues) {
  const struct {
    std::string text;
    uint32_t crc;
  } cases[] = {
      {"", 0xFFFFFFFFu},
      {"123456789", 0xD202D277u},  // zlib.crc32(b"123456789", 0xFFFFFFFF)
  };
  for (const auto& c : cases) {
    Written file(Bytes(c.text.begin(), c.text.end()));
    engine::FileChecksum sum;
    ASSERT_TRUE(engine::FullChecksum(file.path, &sum)) << c.text;
    EXPECT_EQ(sum.crc, c.crc) << c.text;
    EXPECT_EQ(sum.size, c.text.size());
  }
}

TEST(ChecksumTest, FullChecksumCoversEveryByte) {
  const Bytes bytes = Pattern(200003);
  Written file(bytes);
  engine::FileChecksum sum;
  ASSERT_TRUE(engine::FullChecksum(file.path, &sum));
  EXPECT_EQ(sum.crc, ReferenceCrc(0xFFFFFFFFu, bytes, 0, bytes.size()));
  EXPECT_EQ(sum.size, 200003u);
  EXPECT_EQ(engine::BytesChecksumFor(engine::kFileFullChecksum, bytes.data(), bytes.size()).crc, sum.crc);
}

// Each case lists the byte ranges that the sampling sums, in order, the repeated last read
// included.
TEST(ChecksumTest, SampledChecksumReadsTheDocumentedWindows) {
  using Range = std::pair<size_t, size_t>;
  const struct {
    size_t size;
    std::vector<Range> ranges;
  } cases[] = {
      {0, {}},
      {1, {{0, 1}, {0, 1}}},
      {511, {{0, 511}, {0, 511}}},
      {512, {{0, 512}}},  // the second read finds nothing, and nothing is repeated
      {700, {{0, 700}, {512, 700}}},
      {1024, {{0, 1024}}},
      {5119, {{0, 5119}, {4608, 5119}}},
      {5120, {{0, 5120}, {4608, 5120}}},  // ten full reads; the tenth is repeated
      // size / 10 = 512: reads at 0, 512, ..., 4608; the last byte is never read.
      {5121, {{0, 5120}, {4608, 5120}}},
      {100000, {{0, 512},     {10000, 10512}, {20000, 20512}, {30000, 30512}, {40000, 40512}, {50000, 50512},
                {60000, 60512}, {70000, 70512}, {80000, 80512}, {90000, 90512}, {90000, 90512}}},
  };
  for (const auto& c : cases) {
    const Bytes bytes = Pattern(c.size);
    Written file(bytes);
    uint32_t expected = 0xFFFFFFFFu;
    for (const Range& r : c.ranges) expected = ReferenceCrc(expected, bytes, r.first, r.second);
    engine::FileChecksum sum;
    ASSERT_TRUE(engine::SampledChecksum(file.path, &sum)) << c.size;
    EXPECT_EQ(sum.crc, expected) << "size " << c.size;
    EXPECT_EQ(sum.size, c.size);
    // The same sum over the bytes in memory.
    EXPECT_EQ(engine::BytesChecksumFor(0, bytes.data(), bytes.size()).crc, expected) << "size " << c.size;
  }
}

TEST(ChecksumTest, SampledChecksumIgnoresBytesBetweenWindowsButFullSeesThem) {
  Bytes bytes = Pattern(100000);
  Written original(bytes);
  bytes[5000] ^= 0xFF;  // between the windows at 0 and 10000
  Written changed(bytes);

  engine::FileChecksum a, b;
  ASSERT_TRUE(engine::FileChecksumFor(0, original.path, &a));
  ASSERT_TRUE(engine::FileChecksumFor(0, changed.path, &b));
  EXPECT_EQ(a.crc, b.crc);
  ASSERT_TRUE(engine::FileChecksumFor(engine::kFileFullChecksum, original.path, &a));
  ASSERT_TRUE(engine::FileChecksumFor(engine::kFileFullChecksum, changed.path, &b));
  EXPECT_NE(a.crc, b.crc);
}

TEST(ChecksumTest, MissingFileFails) {
  testing_support::ScratchDir dir;
  engine::FileChecksum sum;
  sum.crc = 7;
  EXPECT_FALSE(engine::FullChecksum(dir.Join(u"absent.bin"), &sum));
  EXPECT_EQ(sum.crc, 0u);
  EXPECT_FALSE(engine::SampledChecksum(dir.Join(u"absent.bin"), &sum));
}

}  // namespace
