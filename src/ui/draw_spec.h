#pragma once
// Portable reading of a skin's description file "Draw.dat" (Part 5.1): the value syntaxes
// (number lists, rectangles, colours, sizes, font specifications, alignment words), the keys of
// a page-window section (Table 1), of an item section (Table 2) with its redirects, and of the
// text styles (Table 3) with their ".Text" / "Text.Default" fallbacks; plus the pure geometry
// the drawing code uses (corner erase areas, text box placement, rectangle completion from a
// bitmap size, border-preserving stretch pieces). No Windows API here: the drawing lives in the
// "_win.cpp" files of this folder.
//
// A skin is untrusted input. Every number read is clamped to a sane range (coordinates to
// +-kCoordLimit, colour parts to 0..255, font fields to the bounds below), numbered lists stop
// after 29 entries, redirect chains stop after kMaxRedirects, values are cut to 259 code units
// and the file itself is refused above kMaxDrawFileBytes. Nothing here fails loudly: a missing
// or malformed value takes the documented default.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "app/ini_reader.h"

namespace ui {

constexpr size_t kDrawMaxValue = 259;          // longer values are cut
constexpr int kMaxEraseRects = 29;             // "EraseRect%d" and the four corner lists: 1..29
constexpr int kMaxRedirects = 8;               // "ChangeLabel" / "Lang%04x" hops per item load
constexpr int32_t kCoordLimit = 16384;         // every coordinate and size is clamped to +-this
constexpr uint64_t kMaxDrawFileBytes = 1 << 20;  // a bigger "Draw.dat" counts as missing
constexpr int kStateCount = 6;                 // item states 0..5
constexpr size_t kMaxFaceName = 31;            // LOGFONT's face name without its terminator

struct Rect {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  // True when it covers no pixel (right <= left or bottom <= top).
  bool IsEmpty() const { return right <= left || bottom <= top; }
  bool Contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
  bool operator==(const Rect& o) const {
    return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
  }
};

struct Size {
  int32_t width = 0, height = 0;
};

// ---- value syntaxes ----

// Clamps to +-kCoordLimit.
int32_t ClampCoord(int64_t value);

// Decimal integers separated by commas, each read like wcstol (leading blanks, sign, digits to
// the first other character; empty or missing is 0) and clamped to +-kCoordLimit. At most
// max_count numbers are returned; fewer when the text has fewer items.
std::vector<int32_t> ParseNumberList(std::u16string_view text, size_t max_count);
// The first four numbers as left, top, right, bottom (missing ones 0).
Rect ParseRect(std::u16string_view text);
// The first two numbers as width, height (missing ones 0).
Size ParseSize(std::u16string_view text);
// r,g,b, each clamped to 0..255: r + 256*g + 65536*b (a COLORREF).
uint32_t ParseColor(std::u16string_view text);

// A font specification: labels searched case-sensitively anywhere in the text; a value runs from
// its label to the next comma, trimmed. See Part 5.1, Fonts.
struct FontSpec {
  std::u16string face = u"宋体";   // "name:", at most 31 code units
  int32_t size = 9;                // "size:", points, clamped 1..512
  bool has_height = false;         // "height:" overrides the size
  int32_t height = 0;              // clamped +-2048
  int32_t width = 0;               // "width:", clamped 0..2048
  int32_t weight = 400;            // "bold" 700; "weight:" (0..1000) overrides it
  bool italic = false;
  bool underline = false;
  int32_t escapement = 0;          // "escapement:", tenths of a degree, clamped +-3600
};
FontSpec ParseFontSpec(std::u16string_view text);
// The logical height of the font: the "height:" value, else -(size * dpi / 72) rounded to the
// nearest integer (dpi clamped 1..2400).
int32_t FontLogicalHeight(const FontSpec& spec, int32_t dpi);

// Alignment words to text-drawing flags (left/top 0, center 1, right 2, vcenter 4, bottom 8,
// allcenter 5), any case; any other word gives current.
uint32_t ParseAlign(std::u16string_view text, uint32_t current);

// "Stretch" 0, "Tile" 1 (any case), anything else current.
int32_t ParsePaintType(std::u16string_view text, int32_t current);

// ---- the file ----

// "Draw.dat" loaded into memory. Decoding: UTF-16LE when the bytes begin with FF FE (or look
// like UTF-16LE without a mark), otherwise UTF-8 (a leading EF BB BF dropped; ill-formed bytes
// become U+FFFD). Then ini syntax through app::CIniReader.
class DrawFile {
 public:
  // Reads and parses path. False (and an empty file) when the file is missing, unreadable or
  // larger than kMaxDrawFileBytes.
  bool Load(std::u16string_view path);
  // Parses bytes as above. Always true; a buffer above kMaxDrawFileBytes gives an empty file.
  bool Parse(const void* data, size_t size);
  // The value of key in section, trimmed and cut to 259 code units; empty when absent.
  std::u16string Get(std::u16string_view section, std::u16string_view key) const;
  bool HasSection(std::u16string_view section) const;
  size_t SectionCount() const { return reader_.SectionCount(); }

 private:
  const app::IniSection* Find(std::u16string_view section) const;
  void BuildIndex();

  app::CIniReader reader_;
  // Sections by their ASCII-lower-cased name (the first of duplicates): an item load asks about
  // a hundred keys, and a hostile file may hold many thousands of sections.
  std::unordered_map<std::u16string, const app::IniSection*> index_;
};

// ---- page-window section (Table 1) ----

struct CornerErase {
  int corner = 0;  // 0 left-top, 1 left-bottom, 2 right-top, 3 right-bottom
  int32_t x = 0, y = 0, w = 0, h = 0;
};

struct WindowSkin {
  std::u16string section;
  std::u16string background;  // file name relative to the skin folder
  Size corner_ellipse;        // used only when both are above 0
  std::vector<Rect> erase_rects;
  std::vector<CornerErase> corner_erases;
  int32_t paint_type = 0;     // 0 stretch, 1 tile
  Rect stretch_margins;       // all 0: plain stretch
};

// Reads section into skin (the steps of LoadWindowSkin after the file is resolved): background
// (default section + ".bmp"), corner ellipse, the five erase lists (rebuilt), paint type and
// stretch margins (kept when the keys are absent or too short). Margins are clamped to 0..kCoordLimit.
void LoadWindowSection(const DrawFile& file, std::u16string_view section, WindowSkin* skin);

// The rectangle of a corner erase area for the client rectangle.
Rect CornerEraseRect(const CornerErase& area, const Rect& client);

// ---- item section (Table 2) and its text styles (Table 3) ----

struct TextStyle {
  std::u16string font;   // font specification; empty: none given
  uint32_t color = 0;
  uint32_t align = 1;
  Rect fix{5, 0, 0, 5};
};

struct ItemSkin {
  std::u16string section;  // the last section the item was loaded from
  Rect rect;
  int32_t paint_type = 0;
  Rect stretch_margins;
  TextStyle styles[kStateCount];
  int redirects = 0;       // redirects followed by the last load
  bool redirect_cut = false;  // the last load stopped a chain at kMaxRedirects
};

// "PIC%04d".
std::u16string ItemSectionName(int32_t id);
// "%s%d.bmp": the bitmap of state n of an item loaded from section.
std::u16string StateBitmapName(std::u16string_view section, int state);
// "Lang%04x" and the "_%04X" suffix of the language font keys.
std::u16string LangRedirectKey(uint16_t lang);

// SetName: loads the item from section with redirects ("ChangeLabel", then "Lang%04x" of the
// then-current section), at most kMaxRedirects hops in all. Rectangle keys default to the
// item's current values; each coordinate clamped to +-kCoordLimit.
void LoadItemSection(const DrawFile& file, std::u16string_view section, uint16_t lang, ItemSkin* item);
// The text styles of item section (S = section + ".Text", D = "Text.Default") into styles.
// A state's font stays as it was when no specification is found.
void LoadTextStyles(const DrawFile& file, std::u16string_view section, uint16_t lang,
                    TextStyle styles[kStateCount]);

// ---- geometry ----

// Completes a rectangle given by two coordinates from a bitmap of w x h (Part 5.1, Item
// painting step 2). Unchanged when no rule applies.
Rect CompleteRect(const Rect& rect, int32_t w, int32_t h);

// The text box inside an item box of W x H for a text of tw x th with FixRect fix.
Rect PlaceTextBox(int32_t W, int32_t H, const Rect& fix, int32_t tw, int32_t th);

// One plain or stretched copy: source rectangle to destination rectangle.
struct BlitPiece {
  Rect src, dst;
};
// The copies of the border-preserving stretch of a W x H bitmap into dest with margins m.
// Pieces with an empty source or destination are left out.
std::vector<BlitPiece> BorderStretchPieces(int32_t W, int32_t H, const Rect& dest, const Rect& m);

// Reads the size of a BMP file from its first bytes (file header + info or core header).
// False when the bytes are no BMP, or its size is 0, above kMaxBitmapSide per side or above kMaxBitmapPixels in all: such a
// file is never handed to the platform's loader.
constexpr int32_t kMaxBitmapSide = 8192;
constexpr int64_t kMaxBitmapPixels = int64_t{4096} * 4096;
// With file_size given (not 0), an uncompressed bitmap whose pixel rows would reach past the end
// of the file is refused as well: loaders read those rows without checking.
bool ReadBmpSize(const uint8_t* data, size_t size, Size* out, uint64_t file_size = 0);

}  // namespace ui
