// Arbitrary bytes as a skin's "Draw.dat": every page-window and item section named in the file is
// loaded (with redirects and text styles) in two languages, and every value read stays within
// the bounds the drawing code relies on.
#include <cstddef>
#include <cstdint>

#include "fuzz_work_folder.h"
#include "ui/draw_spec.h"

namespace {

using fuzz_support::Check;

bool InBounds(const ui::Rect& r) {
  for (int32_t v : {r.left, r.top, r.right, r.bottom}) {
    if (v < -ui::kCoordLimit || v > ui::kCoordLimit) return false;
  }
  return true;
}

void CheckStyles(const ui::TextStyle (&styles)[ui::kStateCount]) {
  for (const ui::TextStyle& style : styles) {
    Check(style.font.size() <= ui::kDrawMaxValue && style.color <= 0xFFFFFF && InBounds(style.fix));
    const ui::FontSpec spec = ui::ParseFontSpec(style.font);
    Check(spec.face.size() <= ui::kMaxFaceName && spec.size >= 1 && spec.size <= 512);
    Check(spec.weight >= 0 && spec.weight <= 1000 && spec.width >= 0 && spec.width <= 2048);
    const int32_t height = ui::FontLogicalHeight(spec, 96);
    Check(height >= -2048 && height <= 2048);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ui::DrawFile file;
  file.Parse(data, size);
  // Section names taken from the input itself, so that redirect chains are followed.
  std::vector<std::u16string> names = {u"WelcomeDlg", u"PIC2004", u"Text.Default"};
  const std::u16string text = base::Utf8ToUtf16(std::string_view(reinterpret_cast<const char*>(data), size));
  for (size_t open = text.find(u'['); open != std::u16string::npos && names.size() < 32;
       open = text.find(u'[', open + 1)) {
    const size_t close = text.find(u']', open);
    if (close == std::u16string::npos) break;
    names.push_back(text.substr(open + 1, std::min<size_t>(close - open - 1, 300)));
  }
  for (const std::u16string& name : names) {
    ui::WindowSkin window;
    ui::LoadWindowSection(file, name, &window);
    Check(window.erase_rects.size() <= ui::kMaxEraseRects);
    Check(window.corner_erases.size() <= 4 * ui::kMaxEraseRects);
    Check(InBounds(window.stretch_margins) && window.stretch_margins.left >= 0);
    Check(window.background.size() <= ui::kDrawMaxValue + 4 || window.background == name + u".bmp");
    const ui::Rect client{0, 0, 640, 480};
    for (const ui::Rect& r : window.erase_rects) Check(InBounds(r));
    for (const ui::CornerErase& c : window.corner_erases) Check(InBounds(ui::CornerEraseRect(c, client)));
    for (uint16_t lang : {uint16_t{0x0804}, uint16_t{0x0409}}) {
      ui::ItemSkin item;
      ui::LoadItemSection(file, name, lang, &item);
      Check(item.redirects <= ui::kMaxRedirects && InBounds(item.rect));
      CheckStyles(item.styles);
      const ui::Rect done = ui::CompleteRect(item.rect, 8192, 8192);
      Check(InBounds(done));
      for (const ui::BlitPiece& p :
           ui::BorderStretchPieces(64, 48, ui::Rect{0, 0, 640, 480}, item.stretch_margins)) {
        Check(!p.src.IsEmpty() && !p.dst.IsEmpty());
      }
    }
  }
  ui::Size bmp;
  if (ui::ReadBmpSize(data, size, &bmp)) {
    Check(bmp.width > 0 && bmp.height > 0 && bmp.width <= ui::kMaxBitmapSide && bmp.height <= ui::kMaxBitmapSide);
  }
  return 0;
}
