// File checksums measured on real files, against an independent bitwise CRC-32.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "engine/checksum.h"
#include "engine/file_entry.h"
#include "package/package_test_files.h"
#include "support/scratch_dir.h"

namespace {

using Range = std::pair<size_t, size_t>;

// Bitwise reflected CRC-32 over the ranges in order, chained the way stored checksums are.
uint32_t ReferenceCrc(const package_test::Buf& data, const std::vector<Range>& ranges) {
  uint32_t crc = 0xFFFFFFFFu;
  for (const Range& r : ranges) {
    crc = ~crc;
    for (size_t i = r.first; i < r.second; ++i) {
      crc ^= data[i];
      for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    crc = ~crc;
  }
  return crc;
}

// Each case lists the byte ranges that the sampling sums, in order, the repeated last read
// included; the full checksum sums the whole file.
TEST(ChecksumTest, SampledAndFullChecksumsReadTheDocumentedBytes) {
  const struct {
    size_t size;
    std::vector<Range> ranges;
  } cases[] = {
      {0, {}},
      {511, {{0, 511}, {0, 511}}},
      {512, {{0, 512}}},  // the second read finds nothing, and nothing is repeated
      {700, {{0, 700}, {512, 700}}},
      {5120, {{0, 5120}, {4608, 5120}}},  // ten full reads; the tenth is repeated
      {5121, {{0, 5120}, {4608, 5120}}},  // reads at 0, 512, ..., 4608: the last byte is never read
      {100000, {{0, 512},     {10000, 10512}, {20000, 20512}, {30000, 30512}, {40000, 40512}, {50000, 50512},
                {60000, 60512}, {70000, 70512}, {80000, 80512}, {90000, 90512}, {90000, 90512}}},
  };
  testing_support::ScratchDir dir;
  for (const auto& c : cases) {
    const package_test::Buf bytes = package_test::Noise(c.size, 7);
    testing_support::WriteBytes(dir.Join(u"file.bin"), bytes);
    engine::FileChecksum sampled, full;
    ASSERT_TRUE(engine::SampledChecksum(dir.Join(u"file.bin"), &sampled)) << c.size;
    ASSERT_TRUE(engine::FullChecksum(dir.Join(u"file.bin"), &full)) << c.size;
    EXPECT_EQ(sampled.crc, ReferenceCrc(bytes, c.ranges)) << "size " << c.size;
    EXPECT_EQ(full.crc, ReferenceCrc(bytes, {{0, c.size}})) << "size " << c.size;
    EXPECT_EQ(sampled.size, c.size);
    EXPECT_EQ(full.size, c.size);
    // The same sums over the bytes in memory.
    EXPECT_EQ(engine::BytesChecksumFor(0, bytes.data(), bytes.size()).crc, sampled.crc) << "size " << c.size;
    EXPECT_EQ(engine::BytesChecksumFor(engine::kFileFullChecksum, bytes.data(), bytes.size()).crc, full.crc);
  }
  testing_support::WriteText(dir.Join(u"file.bin"), "123456789");
  engine::FileChecksum sum;
  ASSERT_TRUE(engine::FullChecksum(dir.Join(u"file.bin"), &sum));
  EXPECT_EQ(sum.crc, 0xD202D277u);  // zlib.crc32(b"123456789", 0xFFFFFFFF)

  sum.crc = 7;
  EXPECT_FALSE(engine::FullChecksum(dir.Join(u"absent.bin"), &sum));
  EXPECT_EQ(sum.crc, 0u);
  EXPECT_FALSE(engine::SampledChecksum(dir.Join(u"absent.bin"), &sum));
}

}  // namespace
