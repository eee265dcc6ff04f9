#pragma once
// The bytes of 24-bit BMP files for the skin tests.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace ui_testing {

inline void Put32(std::vector<uint8_t>* bytes, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*bytes)[at + i] = static_cast<uint8_t>(value >> (8 * i));
}

// A 24-bit BMP of w x h pixels of one colour 0xRRGGBB; without pixels, its 54-byte header alone.
inline std::vector<uint8_t> SolidBmp(int32_t w, int32_t h, uint32_t rgb, bool pixels = true) {
  const uint32_t row = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
  const uint32_t image = row * static_cast<uint32_t>(h);
  std::vector<uint8_t> b(pixels ? 54 + image : 54, 0);
  b[0] = 'B';
  b[1] = 'M';
  Put32(&b, 2, static_cast<uint32_t>(b.size()));
  Put32(&b, 10, 54);
  Put32(&b, 14, 40);
  Put32(&b, 18, static_cast<uint32_t>(w));
  Put32(&b, 22, static_cast<uint32_t>(h));
  b[26] = 1;
  b[28] = 24;
  Put32(&b, 34, image);
  for (size_t i = 54; i < b.size(); ++i) {
    const size_t at = (i - 54) % row;
    if (at < static_cast<size_t>(w) * 3) b[i] = static_cast<uint8_t>(rgb >> (8 * (at % 3)));
  }
  return b;
}

}  // namespace ui_testing
