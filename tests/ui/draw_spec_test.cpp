// Draw.dat values and sections: the value syntaxes, the page, item and text-style keys, the redirects with
// their bound, and the geometry rules, read from hand-written Draw.dat texts.
#include "ui/draw_spec.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "base/strings.h"
#include "bmp_bytes.h"

namespace ui {
namespace {

std::unique_ptr<DrawFile> FromBytes(const void* data, size_t size) {
  auto file = std::make_unique<DrawFile>();
  file->Parse(data, size);
  return file;
}
std::unique_ptr<DrawFile> FromUtf8(const std::string& text) { return FromBytes(text.data(), text.size()); }
std::unique_ptr<DrawFile> FromUtf16(const std::u16string& text) { return FromBytes(text.data(), text.size() * 2); }

TEST(DrawSpecValues, NumberListsRectanglesSizesColours) {
  EXPECT_EQ(ParseNumberList(u" 1, -2,x,,7abc", 10), (std::vector<int32_t>{1, -2, 0, 0, 7}));
  EXPECT_EQ(ParseNumberList(u"1,2,3,4,5,6", 4).size(), 4u);
  EXPECT_EQ(ParseRect(u"1,2"), (Rect{1, 2, 0, 0}));
  EXPECT_EQ(ParseRect(u"99999999999,-99999999999,3,4"), (Rect{kCoordLimit, -kCoordLimit, 3, 4}));
  const Size size = ParseSize(u"10,0");
  EXPECT_EQ(size.width, 10);
  EXPECT_EQ(size.height, 0);
  EXPECT_EQ(ParseColor(u"1,2,3"), 1u + 256u * 2 + 65536u * 3);
  EXPECT_EQ(ParseColor(u"300,-5"), 255u);
  EXPECT_EQ(ParseColor(u""), 0u);
}

TEST(DrawSpecValues, AlignAndPaintTypeWords) {
  struct Case {
    const char16_t* word;
    uint32_t current, flags;
  } cases[] = {{u"left", 1, 0},    {u"TOP", 1, 0},    {u"right", 1, 2},  {u"Center", 0, 1},
               {u"vcenter", 1, 4}, {u"bottom", 1, 8}, {u"allcenter", 1, 5}, {u"middle", 2, 2},
               {u"", 8, 8}};
  for (const Case& c : cases) EXPECT_EQ(ParseAlign(c.word, c.current), c.flags) << base::Utf16ToUtf8(c.word);
  EXPECT_EQ(ParsePaintType(u"tile", 0), 1);
  EXPECT_EQ(ParsePaintType(u"STRETCH", 1), 0);
  EXPECT_EQ(ParsePaintType(u"Center", 0), 0);
  EXPECT_EQ(ParsePaintType(u"Center", 1), 1);
}

TEST(DrawSpecValues, FontSpecifications) {
  const struct {
    const char* what;
    std::u16string text, face;
    int32_t size, weight, width, escapement, height_at_96_dpi;
    bool italic_and_underline;
  } cases[] = {
      {"bold alone", u"bold", u"宋体", 9, 700, 0, 0, -12, false},
      {"a weight overrides bold", u"name:Arial,size:12,weight:300,bold", u"Arial", 12, 300, 0, 0, -16, false},
      {"every label", u"name: Microsoft YaHei ,height:-20,width:7,italic,underline,escapement:900",
       u"Microsoft YaHei", 9, 400, 7, 900, -20, true},
      {"absurd numbers and a face longer than LOGFONT holds are cut to their bounds",
       u"name:" + std::u16string(80, u'x') + u",size:99999999,width:-4,weight:5000,escapement:-99999",
       std::u16string(kMaxFaceName, u'x'), 512, 1000, 0, -3600, -683, false},
      {"labels are case-sensitive; the unlabelled form of old skins keeps every default",
       u"宋体,12,700 Name:Arial BOLD", u"宋体", 9, 400, 0, 0, -12, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const FontSpec spec = ParseFontSpec(c.text);
    EXPECT_EQ(spec.face, c.face);
    EXPECT_EQ(spec.size, c.size);
    EXPECT_EQ(spec.weight, c.weight);
    EXPECT_EQ(spec.width, c.width);
    EXPECT_EQ(spec.escapement, c.escapement);
    EXPECT_EQ(FontLogicalHeight(spec, 96), c.height_at_96_dpi);
    EXPECT_EQ(spec.italic && spec.underline, c.italic_and_underline);
  }
}

TEST(DrawSpecFile, DecodesUtf8Utf16AndRejectsHugeFiles) {
  const std::string utf8 = "\xEF\xBB\xBF[PIC2004.Text]\nFont=name:\xE5\xAE\x8B\xE4\xBD\x93\n";
  EXPECT_EQ(FromUtf8(utf8)->Get(u"pic2004.text", u"FONT"), u"name:宋体");

  EXPECT_EQ(FromUtf16(u"\uFEFF[Main]\r\nbackground = a.bmp \r\n")->Get(u"main", u"background"), u"a.bmp");
  EXPECT_EQ(FromUtf16(u"[Main]\nx=1\n")->Get(u"Main", u"x"), u"1");

  // Names compare without ASCII case; of duplicate sections the first answers.
  EXPECT_EQ(FromUtf8("[Page]\nk=1\n[PAGE]\nk=2\nj=3\n")->Get(u"page", u"K"), u"1");
  EXPECT_EQ(FromUtf8("[Page]\nk=1\n[PAGE]\nk=2\nj=3\n")->Get(u"page", u"j"), u"");
  // Values are cut to 259 units; binary noise and oversized files give no sections.
  EXPECT_EQ(FromUtf8("[A]\nk=" + std::string(400, 'v') + "\n")->Get(u"A", u"k").size(), kDrawMaxValue);
  EXPECT_EQ(FromUtf8(std::string("\x00\x01\x02\xFF\xFE", 5))->SectionCount(), 0u);
  const std::string huge = "[A]\nk=1\n" + std::string(kMaxDrawFileBytes, ' ');
  EXPECT_FALSE(FromUtf8(huge)->HasSection(u"A"));
  DrawFile missing;
  EXPECT_FALSE(missing.Load(u"/nonexistent/Draw.dat"));
}

TEST(DrawSpecWindow, PageWindowKeys) {
  const std::unique_ptr<DrawFile> file = FromUtf8(
      "[Page]\nCornerEllipse=10,12\nEraseRect1=0,0,10,10\nEraseRect3=1,1,2,2\n"
      "LeftTopEraseRect1=1,2,3,4\nRightBottomEraseRect1=5,6,7,8\nRightBottomEraseRect2=1,2\n"
      "PaintType=tile\nStretchRect=1,1,1\n"
      "[ShortListsNamedLongEnoughForTheHeap]\nEraseRect1=1,2\nStretchRect=1,1\nbackground=bg\\x.bmp\n");
  WindowSkin skin;
  LoadWindowSection(*file, u"Page", &skin);
  EXPECT_EQ(skin.background, u"Page.bmp");
  EXPECT_EQ(skin.corner_ellipse.width, 10);
  ASSERT_EQ(skin.erase_rects.size(), 1u);  // the list ends at the missing EraseRect2
  EXPECT_EQ(skin.erase_rects[0], (Rect{0, 0, 10, 10}));
  ASSERT_EQ(skin.corner_erases.size(), 2u);
  EXPECT_EQ(skin.corner_erases[1].corner, 3);
  EXPECT_EQ(skin.paint_type, 1);
  EXPECT_EQ(skin.stretch_margins, (Rect{1, 1, 1, 0}));  // five characters count

  skin.section = u"ShortListsNamedLongEnoughForTheHeap";  // a view of its own field (regression)
  LoadWindowSection(*file, skin.section, &skin);  // 3 characters end the list; 1,1 keeps the margins
  EXPECT_TRUE(skin.erase_rects.empty());
  EXPECT_TRUE(skin.corner_erases.empty());
  EXPECT_EQ(skin.paint_type, 1);
  EXPECT_EQ(skin.stretch_margins, (Rect{1, 1, 1, 0}));
  EXPECT_EQ(skin.background, u"bg\\x.bmp");

  std::string many = "[Many]\n";
  for (int i = 1; i <= 40; ++i) many += "EraseRect" + std::to_string(i) + "=0,0,1,1\n";
  LoadWindowSection(*FromUtf8(many), u"Many", &skin);
  EXPECT_EQ(skin.erase_rects.size(), 29u);
}

TEST(DrawSpecWindow, CornerEraseAreas) {
  const Rect client{0, 0, 100, 50};
  EXPECT_EQ(CornerEraseRect({0, 1, 2, 3, 4}, client), (Rect{1, 2, 4, 6}));
  EXPECT_EQ(CornerEraseRect({1, 1, 2, 3, 4}, client), (Rect{1, 44, 4, 48}));
  EXPECT_EQ(CornerEraseRect({2, 1, 2, 3, 4}, client), (Rect{96, 2, 99, 6}));
  EXPECT_EQ(CornerEraseRect({3, 1, 2, 3, 4}, client), (Rect{96, 44, 99, 48}));
}

TEST(DrawSpecItem, RectangleAndTextStylesWithFallbacks) {
  const std::unique_ptr<DrawFile> file = FromUtf8(
      "[PIC2004]\nleft=10\ntop=20\nright=110\nbottom=44\nPaintType=Tile\n"
      "[PIC2004.Text]\nFont=name:Arial\nFont1=bold\nFont_0409=name:Tahoma\nTextColor2=255,0,0\n"
      "Align=allcenter\nFixRect3=1,2,3,4\n"
      "[Text.Default]\nFont3=italic\nTextColor=0,0,255\nAlign4=right\nFixRect=9,9,9,9\n");
  ItemSkin item;
  LoadItemSection(*file, ItemSectionName(2004), 0x0804, &item);
  EXPECT_EQ(item.section, u"PIC2004");
  EXPECT_EQ(item.rect, (Rect{10, 20, 110, 44}));
  EXPECT_EQ(item.paint_type, 1);
  EXPECT_EQ(item.styles[0].font, u"name:Arial");
  EXPECT_EQ(item.styles[1].font, u"bold");
  EXPECT_EQ(item.styles[3].font, u"italic");  // D[Font3] comes before S[Font]
  EXPECT_TRUE(item.styles[2].font.empty());  // S[Font] is no fallback of Font2
  EXPECT_EQ(item.styles[2].color, 255u);
  EXPECT_EQ(item.styles[0].color, 255u << 16);
  EXPECT_EQ(item.styles[0].align, 5u);
  EXPECT_EQ(item.styles[4].align, 2u);
  EXPECT_EQ(item.styles[3].fix, (Rect{1, 2, 3, 4}));
  EXPECT_EQ(item.styles[0].fix, (Rect{9, 9, 9, 9}));

  ItemSkin english;
  LoadItemSection(*file, u"PIC2004", 0x0409, &english);
  EXPECT_EQ(english.styles[0].font, u"name:Tahoma");
  EXPECT_EQ(english.styles[1].font, u"bold");

  ItemSkin bare;
  LoadItemSection(*FromUtf8("[PIC1]\nleft=1\n"), u"PIC1", 0, &bare);
  EXPECT_TRUE(bare.styles[0].font.empty());
  EXPECT_EQ(bare.styles[0].fix, (Rect{5, 0, 0, 5}));
  EXPECT_EQ(bare.styles[0].align, 1u);
}

TEST(DrawSpecItem, RedirectsAndTheirBound) {
  const std::unique_ptr<DrawFile> file = FromUtf8(
      "[PIC2004]\nChangeLabel=PIC3000\n"
      "[PIC3000]\nleft=5\ntop=6\nLang0409=PIC3001\n"
      "[PIC3001]\nleft=7\n"
      "[Self]\nChangeLabel=self\n"
      "[LoopA]\nChangeLabel=LoopB\n[LoopB]\nleft=1\nLang0804=LoopA\n");
  ItemSkin item;
  LoadItemSection(*file, u"PIC2004", 0x0804, &item);
  EXPECT_EQ(item.section, u"PIC3000");
  EXPECT_EQ(item.rect, (Rect{5, 6, 0, 0}));
  EXPECT_EQ(StateBitmapName(item.section, 0), u"PIC30000.bmp");

  ItemSkin english;
  LoadItemSection(*file, u"PIC2004", 1033, &english);
  EXPECT_EQ(english.section, u"PIC3001");
  EXPECT_EQ(english.rect, (Rect{7, 6, 0, 0}));
  EXPECT_EQ(english.redirects, 2);

  for (const char16_t* start : {u"Self", u"LoopA"}) {
    ItemSkin loop;
    LoadItemSection(*file, start, 0x0804, &loop);
    EXPECT_TRUE(loop.redirect_cut);
    EXPECT_LE(loop.redirects, kMaxRedirects);
  }
  EXPECT_EQ(LangRedirectKey(0x0804), u"Lang0804");
  EXPECT_EQ(ItemSectionName(7), u"PIC0007");
}

TEST(DrawSpecGeometry, CompleteRectFromBitmapSize) {
  struct Case {
    Rect in, out;
  } cases[] = {
      {{10, 20, 0, 0}, {10, 20, 40, 60}},   {{10, 0, 0, 90}, {10, 50, 40, 90}},
      {{0, 20, 100, 0}, {70, 20, 100, 60}}, {{100, 90, 100, 90}, {70, 50, 100, 90}},
      {{1, 2, 3, 4}, {1, 2, 3, 4}},         {{0, 0, 100, 90}, {0, 0, 100, 90}},
  };
  for (const Case& c : cases) EXPECT_EQ(CompleteRect(c.in, 30, 40), c.out);
}

TEST(DrawSpecGeometry, TextBoxPlacement) {
  EXPECT_EQ(PlaceTextBox(100, 40, {5, 0, 0, 5}, 30, 10), (Rect{5, 25, 35, 35}));
  EXPECT_EQ(PlaceTextBox(100, 40, {5, 5, 5, 5}, 30, 10), (Rect{5, 5, 95, 35}));
  EXPECT_EQ(PlaceTextBox(100, 40, {0, 0, 10, 0}, 30, 10), (Rect{60, 0, 90, 40}));
  EXPECT_EQ(PlaceTextBox(100, 40, {0, 0, 0, 0}, 30, 10), (Rect{0, 0, 100, 40}));
}

TEST(DrawSpecGeometry, BorderStretchPieces) {
  // Nine pieces: corners keep their size at the destination's corners.
  auto nine = BorderStretchPieces(30, 20, Rect{100, 100, 400, 300}, Rect{4, 3, 5, 6});
  ASSERT_EQ(nine.size(), 9u);
  EXPECT_EQ(nine[0].dst, (Rect{100, 100, 104, 103}));
  EXPECT_EQ(nine[3].src, (Rect{25, 14, 30, 20}));
  EXPECT_EQ(nine[3].dst, (Rect{395, 294, 400, 300}));
  EXPECT_EQ(nine[8].dst, (Rect{104, 103, 395, 294}));
  // 1,1,1 (bottom 0): three vertical strips of full height.
  auto strips = BorderStretchPieces(30, 20, Rect{0, 0, 60, 20}, Rect{1, 1, 1, 0});
  ASSERT_EQ(strips.size(), 3u);
  EXPECT_EQ(strips[2].dst, (Rect{59, 0, 60, 20}));
  auto top = BorderStretchPieces(30, 20, Rect{0, 0, 60, 40}, Rect{0, 4, 0, 0});
  ASSERT_EQ(top.size(), 2u);
  EXPECT_EQ(top[0].dst, (Rect{0, 0, 60, 4}));
  EXPECT_EQ(BorderStretchPieces(30, 20, Rect{0, 0, 60, 40}, Rect{}).size(), 1u);
  // Margins larger than the bitmap give no piece with an inverted source.
  for (const BlitPiece& p : BorderStretchPieces(10, 10, Rect{0, 0, 5, 5}, Rect{20, 20, 20, 20})) {
    EXPECT_FALSE(p.src.IsEmpty());
    EXPECT_FALSE(p.dst.IsEmpty());
  }
}

TEST(DrawSpecGeometry, BmpHeaderSizes) {
  auto header = [](int32_t w, int32_t h) { return ui_testing::SolidBmp(w, h, 0, false); };
  Size size;
  auto ok = header(640, -480);
  ASSERT_TRUE(ReadBmpSize(ok.data(), ok.size(), &size));
  EXPECT_EQ(size.width, 640);
  EXPECT_EQ(size.height, 480);
  for (auto bad : {header(0, 10), header(10, 0), header(100000, 10), header(8000, 8000),
                   header(10, INT32_MIN)}) {
    EXPECT_FALSE(ReadBmpSize(bad.data(), bad.size(), &size));
  }
  // Pixel rows that would reach past the end of the file: 640 x 480 x 24 bits needs 921654 bytes.
  EXPECT_TRUE(ReadBmpSize(ok.data(), ok.size(), &size, 54 + 640 * 3 * 480));
  EXPECT_FALSE(ReadBmpSize(ok.data(), ok.size(), &size, 54 + 640 * 3 * 480 - 1));
  ok[30] = 1;  // RLE8: the loader decodes within the file
  EXPECT_TRUE(ReadBmpSize(ok.data(), ok.size(), &size, 200));
  const uint8_t text[] = "[Main]\nnot a bitmap at all";
  EXPECT_FALSE(ReadBmpSize(text, sizeof text, &size));
}

}  // namespace
}  // namespace ui
