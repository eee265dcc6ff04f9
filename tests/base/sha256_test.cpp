// SHA-256 against the published test vectors, fed whole and in uneven pieces.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "base/sha256.h"

namespace {

std::string Digest(const std::string& text, size_t piece) {
  base::Sha256 sha;
  for (size_t i = 0; i < text.size(); i += piece) sha.Update(text.data() + i, std::min(piece, text.size() - i));
  return base::ToHex(sha.Final());
}

TEST(Sha256Test, PublishedVectorsWholeAndInPieces) {
  const std::string million(1000000, 'a');
  const struct {
    std::string text;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {million, "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
  };
  for (const auto& c : cases) {
    for (size_t piece : {size_t{1}, size_t{63}, size_t{64}, size_t{1000}, size_t{1} << 20}) {
      if (c.text.size() > 100000 && piece < 64) continue;
      EXPECT_EQ(Digest(c.text, piece), c.digest) << c.text.size() << " bytes in pieces of " << piece;
    }
  }
}

TEST(Sha256Test, ProcessorExtensionsCompressLikeThePortableCode) {
  if (!base::sha256_internal::HasShaExtensions()) GTEST_SKIP() << "no SHA extensions on this processor";
  std::mt19937 random(7);
  std::vector<uint8_t> data(64 * 40 + 1);
  for (auto& byte : data) byte = static_cast<uint8_t>(random());
  for (size_t count : {1, 2, 3, 17, 40}) {
    for (size_t offset : {0, 1}) {  // the data unaligned too
      uint32_t portable[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab,
                              static_cast<uint32_t>(random())};
      uint32_t extensions[8];
      std::copy(portable, portable + 8, extensions);
      base::sha256_internal::PortableBlocks(portable, data.data() + offset, count);
      base::sha256_internal::ShaExtensionBlocks(extensions, data.data() + offset, count);
      EXPECT_TRUE(std::equal(portable, portable + 8, extensions)) << count << " blocks at offset " << offset;
    }
  }
}

}  // namespace
