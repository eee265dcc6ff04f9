#pragma once
// Test skins written from code: BMP files and a Draw.dat in a scratch folder that becomes the
// process-wide skin folder for the test's lifetime.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "app/wizard_state.h"
#include "support/scratch_dir.h"

namespace skin_test {

// A 24-bit bottom-up BMP of w x h filled by colour(x, y) -> 0xRRGGBB.
template <typename Colour>
std::vector<uint8_t> Bmp24(int w, int h, Colour colour) {
  const uint32_t row = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
  const uint32_t image = row * static_cast<uint32_t>(h);
  std::vector<uint8_t> b(54 + image, 0);
  auto put32 = [&b](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  b[0] = 'B';
  b[1] = 'M';
  put32(2, static_cast<uint32_t>(b.size()));
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  b[26] = 1;
  b[28] = 24;
  put32(34, image);
  for (int y = 0; y < h; ++y) {
    uint8_t* line = &b[54 + row * static_cast<uint32_t>(h - 1 - y)];
    for (int x = 0; x < w; ++x) {
      const uint32_t c = colour(x, y);
      line[x * 3] = static_cast<uint8_t>(c);
      line[x * 3 + 1] = static_cast<uint8_t>(c >> 8);
      line[x * 3 + 2] = static_cast<uint8_t>(c >> 16);
    }
  }
  return b;
}

inline std::vector<uint8_t> SolidBmp(int w, int h, uint32_t rgb) {
  return Bmp24(w, h, [rgb](int, int) { return rgb; });
}

// A scratch skin folder, set as the process-wide skin folder until it goes.
class SkinFolder {
 public:
  SkinFolder() { app::SetSkinFolder(dir_.path() + u"\\"); }
  ~SkinFolder() { app::ClearSkinFolder(); }
  void Write(const std::u16string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(testing_support::Native(dir_.Join(name)), std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  }
  void WriteText(const std::u16string& name, const std::string& utf8) const {
    Write(name, std::vector<uint8_t>(utf8.begin(), utf8.end()));
  }
  const std::u16string& Path() const { return dir_.path(); }

 private:
  testing_support::ScratchDir dir_;
};

}  // namespace skin_test
