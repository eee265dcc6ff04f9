#include <gtest/gtest.h>
#include <zlib.h>

#include <random>
#include <vector>

#include "base/crc32.h"

namespace {

using CrcFunction = uint32_t (*)(uint32_t, const void*, size_t);
// Random lengths and lane edges, start alignments, starting CRCs and chained calls, against zlib.
void CheckAgainstZlib(CrcFunction crc_of) {
  std::mt19937 rng(13);
  std::vector<uint8_t> data((9u << 20) + 64);
  for (auto& b : data) b = static_cast<uint8_t>(rng());
  std::vector<size_t> sizes = {0, 1, 15, 16, 63, 64, 65, 127, 128, 129, 1u << 20, (9u << 20) - 3};
  for (int i = 0; i < 3000; ++i) sizes.push_back(rng() % 5000);
  for (const size_t size : sizes) {
    const uint8_t* p = data.data() + rng() % 64;
    const uint32_t start = rng() % 3 ? rng() : 0;
    const size_t split = rng() % (size + 1);
    const uint32_t want = static_cast<uint32_t>(crc32(start, p, static_cast<uInt>(size)));
    ASSERT_EQ(crc_of(start, p, size), want) << "size " << size;
    ASSERT_EQ(crc_of(crc_of(start, p, split), p + split, size - split), want) << "size " << size << " split " << split;
  }
}

TEST(Crc32, EveryPathMatchesZlib) {
  CheckAgainstZlib(base::crc32_internal::Portable);
  CheckAgainstZlib(static_cast<CrcFunction>(base::Crc32));
  if (!base::crc32_internal::HasFolding()) GTEST_SKIP() << "no carry-less multiplication on this processor";
  CheckAgainstZlib(base::crc32_internal::Folding);
}

}  // namespace
