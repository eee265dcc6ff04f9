// SHA-256 against the published test vectors, fed whole and in uneven pieces.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
