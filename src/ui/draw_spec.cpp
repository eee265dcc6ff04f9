#include "ui/draw_spec.h"

#include <algorithm>
#include <cstring>

#include "base/format.h"
#include "base/strings.h"
#include "platform/fs.h"

namespace ui {
namespace {

bool IsNumberBlank(char16_t c) { return c == u' ' || c == u'\t'; }

int32_t Clamp(int64_t value, int64_t low, int64_t high) {
  return static_cast<int32_t>(std::min(std::max(value, low), high));
}

int32_t ReadNumber(std::u16string_view text) { return base::ParseSaturatedInt32(text, IsNumberBlank); }

std::u16string_view Trim(std::u16string_view text) {
  size_t begin = 0, end = text.size();
  while (begin < end && IsNumberBlank(text[begin])) ++begin;
  while (end > begin && IsNumberBlank(text[end - 1])) --end;
  return text.substr(begin, end - begin);
}

std::u16string Numbered(const char16_t* format, int value) { return base::Format(64, format, value); }

// The first non-empty value of (section, key) pairs.
std::u16string FirstOf(const DrawFile& file,
                       std::initializer_list<std::pair<std::u16string_view, std::u16string_view>> keys) {
  for (const auto& [section, key] : keys) {
    std::u16string value = file.Get(section, key);
    if (!value.empty()) return value;
  }
  return {};
}

Rect ClampMargins(const Rect& r) {
  return Rect{Clamp(r.left, 0, kCoordLimit), Clamp(r.top, 0, kCoordLimit), Clamp(r.right, 0, kCoordLimit),
              Clamp(r.bottom, 0, kCoordLimit)};
}

uint16_t LoadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t LoadU32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

}  // namespace

int32_t ClampCoord(int64_t value) { return Clamp(value, -kCoordLimit, kCoordLimit); }

std::vector<int32_t> ParseNumberList(std::u16string_view text, size_t max_count) {
  std::vector<int32_t> numbers;
  size_t start = 0;
  while (numbers.size() < max_count && start <= text.size()) {
    size_t comma = text.find(u',', start);
    if (comma == std::u16string_view::npos) comma = text.size();
    numbers.push_back(ClampCoord(ReadNumber(text.substr(start, comma - start))));
    start = comma + 1;
  }
  return numbers;
}

Rect ParseRect(std::u16string_view text) {
  std::vector<int32_t> n = ParseNumberList(text, 4);
  n.resize(4, 0);
  return Rect{n[0], n[1], n[2], n[3]};
}

Size ParseSize(std::u16string_view text) {
  std::vector<int32_t> n = ParseNumberList(text, 2);
  n.resize(2, 0);
  return Size{n[0], n[1]};
}

uint32_t ParseColor(std::u16string_view text) {
  std::vector<int32_t> n = ParseNumberList(text, 3);
  n.resize(3, 0);
  uint32_t color = 0;
  for (int i = 2; i >= 0; --i) color = (color << 8) | static_cast<uint32_t>(Clamp(n[i], 0, 255));
  return color;
}

FontSpec ParseFontSpec(std::u16string_view text) {
  FontSpec spec;
  // The value after label, up to the next comma, trimmed; false when the label is absent.
  auto find = [text](std::u16string_view label, std::u16string_view* value) {
    const size_t at = text.find(label);
    if (at == std::u16string_view::npos) return false;
    std::u16string_view rest = text.substr(at + label.size());
    *value = Trim(rest.substr(0, rest.find(u',')));
    return true;
  };
  std::u16string_view value;
  if (find(u"name:", &value) && !value.empty()) spec.face = std::u16string(value.substr(0, kMaxFaceName));
  if (find(u"size:", &value)) spec.size = Clamp(ReadNumber(value), 1, 512);
  if (find(u"bold", &value)) spec.weight = 700;
  if (find(u"italic", &value)) spec.italic = true;
  if (find(u"underline", &value)) spec.underline = true;
  if (find(u"height:", &value)) {
    spec.has_height = true;
    spec.height = Clamp(ReadNumber(value), -2048, 2048);
  }
  if (find(u"width:", &value)) spec.width = Clamp(ReadNumber(value), 0, 2048);
  if (find(u"weight:", &value)) spec.weight = Clamp(ReadNumber(value), 0, 1000);
  if (find(u"escapement:", &value)) spec.escapement = Clamp(ReadNumber(value), -3600, 3600);
  return spec;
}

int32_t FontLogicalHeight(const FontSpec& spec, int32_t dpi) {
  if (spec.has_height) return spec.height;
  const int64_t scaled = static_cast<int64_t>(spec.size) * Clamp(dpi, 1, 2400);
  return -static_cast<int32_t>((scaled + 36) / 72);
}

uint32_t ParseAlign(std::u16string_view text, uint32_t current) {
  static const struct {
    const char16_t* word;
    uint32_t flags;
  } kWords[] = {{u"left", 0},    {u"top", 0},     {u"right", 2},     {u"center", 1},
                {u"vcenter", 4}, {u"bottom", 8}, {u"allcenter", 5}};
  for (const auto& w : kWords) {
    if (base::EqualsIgnoreAsciiCase(text, w.word)) return w.flags;
  }
  return current;
}

int32_t ParsePaintType(std::u16string_view text, int32_t current) {
  if (base::EqualsIgnoreAsciiCase(text, u"Stretch")) return 0;
  if (base::EqualsIgnoreAsciiCase(text, u"Tile")) return 1;
  return current;
}

// ---- DrawFile ----

bool DrawFile::Load(std::u16string_view path) {
  reader_.Clear();
  index_.clear();
  platform::File file = platform::File::Open(path, platform::FileAccess::kRead,
                                             platform::FileDisposition::kOpenExisting);
  uint64_t size = 0;
  if (!file.IsOpen() || !file.Size(&size) || size > kMaxDrawFileBytes) return false;
  std::vector<uint8_t> bytes(static_cast<size_t>(size));
  if (size > 0 && !file.ReadExact(bytes.data(), bytes.size())) return false;
  return Parse(bytes.data(), bytes.size());
}

bool DrawFile::Parse(const void* data, size_t size) {
  reader_.Clear();
  index_.clear();
  if (!data || size == 0 || size > kMaxDrawFileBytes) return true;
  const auto* bytes = static_cast<const uint8_t*>(data);
  const bool utf16_mark = size >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE;
  // Text of ASCII characters in UTF-16LE without a mark: a zero in every second byte.
  const bool utf16_bare = size >= 4 && bytes[0] != 0 && bytes[1] == 0 && bytes[2] != 0 && bytes[3] == 0;
  if (utf16_mark || utf16_bare) {
    reader_.ParseBuffer(data, size);
  } else {
    std::string_view utf8(reinterpret_cast<const char*>(bytes), size);
    if (utf8.size() >= 3 && std::memcmp(utf8.data(), "\xEF\xBB\xBF", 3) == 0) utf8.remove_prefix(3);
    const std::u16string text = base::Utf8ToUtf16(utf8);
    reader_.ParseBuffer(text.data(), text.size() * sizeof(char16_t));
  }
  BuildIndex();
  return true;
}

void DrawFile::BuildIndex() {
  for (size_t i = 0; i < reader_.SectionCount(); ++i) {
    const app::IniSection* section = reader_.SectionAt(i);
    index_.emplace(base::ToLowerAscii(section->Name()), section);
  }
}

const app::IniSection* DrawFile::Find(std::u16string_view section) const {
  const auto found = index_.find(base::ToLowerAscii(section));
  return found == index_.end() ? nullptr : found->second;
}

std::u16string DrawFile::Get(std::u16string_view section, std::u16string_view key) const {
  const app::IniSection* found = Find(section);
  const app::IniEntry* entry = found ? found->FindEntry(key) : nullptr;
  if (!entry) return {};
  return std::u16string(Trim(entry->Value()).substr(0, kDrawMaxValue));
}

bool DrawFile::HasSection(std::u16string_view section) const { return Find(section) != nullptr; }

// ---- window section ----

void LoadWindowSection(const DrawFile& file, std::u16string_view section_view, WindowSkin* skin) {
  // A copy first: the caller may pass a view of skin->section itself.
  const std::u16string section(section_view);
  skin->section = section;
  skin->background = file.Get(section, u"background");
  if (skin->background.empty()) skin->background = section + u".bmp";
  skin->corner_ellipse = ParseSize(file.Get(section, u"CornerEllipse"));
  skin->erase_rects.clear();
  for (int i = 1; i <= kMaxEraseRects; ++i) {
    const std::u16string value = file.Get(section, Numbered(u"EraseRect%d", i));
    if (value.size() < 4) break;
    skin->erase_rects.push_back(ParseRect(value));
  }
  static const char16_t* const kCornerKeys[4] = {u"LeftTopEraseRect%d", u"LeftBottomEraseRect%d",
                                                 u"RightTopEraseRect%d", u"RightBottomEraseRect%d"};
  skin->corner_erases.clear();
  for (int corner = 0; corner < 4; ++corner) {
    for (int i = 1; i <= kMaxEraseRects; ++i) {
      const std::u16string value = file.Get(section, Numbered(kCornerKeys[corner], i));
      if (value.size() < 4) break;
      const Rect r = ParseRect(value);
      skin->corner_erases.push_back(CornerErase{corner, r.left, r.top, r.right, r.bottom});
    }
  }
  skin->paint_type = ParsePaintType(file.Get(section, u"PaintType"), skin->paint_type);
  const std::u16string stretch = file.Get(section, u"StretchRect");
  if (stretch.size() > 4) skin->stretch_margins = ClampMargins(ParseRect(stretch));
}

Rect CornerEraseRect(const CornerErase& a, const Rect& c) {
  auto r = [](int64_t l, int64_t t, int64_t rr, int64_t b) {
    return Rect{ClampCoord(l), ClampCoord(t), ClampCoord(rr), ClampCoord(b)};
  };
  const int64_t x = a.x, y = a.y, w = a.w, h = a.h;
  switch (a.corner) {
    case 0: return r(c.left + x, c.top + y, c.left + x + w, c.top + y + h);
    case 1: return r(c.left + x, c.bottom - y - h, c.left + x + w, c.bottom - y);
    case 2: return r(c.right - x - w, c.top + y, c.right - x, c.top + y + h);
    default: return r(c.right - x - w, c.bottom - y - h, c.right - x, c.bottom - y);
  }
}

// ---- item section ----

std::u16string ItemSectionName(int32_t id) { return base::Format(64, u"PIC%04d", id); }

std::u16string StateBitmapName(std::u16string_view section, int state) {
  return std::u16string(section) + base::NumberToUtf16(state) + u".bmp";
}

std::u16string LangRedirectKey(uint16_t lang) { return base::Format(64, u"Lang%04x", static_cast<unsigned>(lang)); }

void LoadTextStyles(const DrawFile& file, std::u16string_view section, uint16_t lang,
                    TextStyle styles[kStateCount]) {
  const std::u16string s = std::u16string(section) + u".Text";
  const std::u16string_view d = u"Text.Default";
  const std::u16string lang_suffix = base::Format(16, u"_%04X", static_cast<unsigned>(lang));
  for (int n = 0; n < kStateCount; ++n) {
    const std::u16string suffix = n == 0 ? std::u16string() : base::NumberToUtf16(n);
    const std::u16string k = u"Font" + suffix;
    const std::u16string l = k + lang_suffix;
    const std::u16string font =
        FirstOf(file, {{s, l}, {d, l}, {d, u"Font" + lang_suffix}, {s, k}, {d, k}, {d, u"Font"}});
    if (!font.empty()) styles[n].font = font;
    const std::u16string c = u"TextColor" + suffix;
    const std::u16string color = FirstOf(file, {{s, c}, {d, c}, {d, u"TextColor"}});
    styles[n].color = color.empty() ? 0 : ParseColor(color);
    const std::u16string a = u"Align" + suffix;
    styles[n].align = ParseAlign(FirstOf(file, {{s, a}, {d, a}, {d, u"Align"}}), styles[n].align);
    const std::u16string f = u"FixRect" + suffix;
    const std::u16string fix = FirstOf(file, {{s, f}, {d, f}, {d, u"FixRect"}});
    styles[n].fix = fix.empty() ? Rect{5, 0, 0, 5} : ParseRect(fix);
  }
}

void LoadItemSection(const DrawFile& file, std::u16string_view section, uint16_t lang, ItemSkin* item) {
  std::u16string current(section);
  item->redirects = 0;
  item->redirect_cut = false;
  const std::u16string lang_key = LangRedirectKey(lang);
  for (;;) {
    item->section = current;
    auto coordinate = [&](const char16_t* key, int32_t* value) {
      const std::u16string text = file.Get(current, key);
      if (!text.empty()) *value = ClampCoord(app::ParseIniInt(text));
    };
    coordinate(u"left", &item->rect.left);
    coordinate(u"top", &item->rect.top);
    coordinate(u"right", &item->rect.right);
    coordinate(u"bottom", &item->rect.bottom);
    item->paint_type = ParsePaintType(file.Get(current, u"PaintType"), item->paint_type);
    const std::u16string stretch = file.Get(current, u"StretchRect");
    if (stretch.size() > 4) item->stretch_margins = ClampMargins(ParseRect(stretch));
    LoadTextStyles(file, current, lang, item->styles);
    std::u16string next = file.Get(current, u"ChangeLabel");
    if (next.empty()) next = file.Get(current, lang_key);
    if (next.empty()) return;
    if (item->redirects >= kMaxRedirects || base::EqualsIgnoreAsciiCase(next, current)) {
      item->redirect_cut = true;
      return;
    }
    ++item->redirects;
    current = next;
  }
}

// ---- geometry ----

Rect CompleteRect(const Rect& r, int32_t w, int32_t h) {
  Rect out = r;
  const int64_t W = w, H = h;
  if (r.left != 0 && r.top != 0 && r.right == 0 && r.bottom == 0) {
    out.right = ClampCoord(r.left + W);
    out.bottom = ClampCoord(r.top + H);
  } else if (r.left != 0 && r.bottom != 0 && r.top == 0 && r.right == 0) {
    out.right = ClampCoord(r.left + W);
    out.top = ClampCoord(r.bottom - H);
  } else if (r.right != 0 && r.top != 0 && r.left == 0 && r.bottom == 0) {
    out.left = ClampCoord(r.right - W);
    out.bottom = ClampCoord(r.top + H);
  } else if (r.right != 0 && r.bottom != 0 && r.left >= r.right && r.top >= r.bottom) {
    out.left = ClampCoord(r.right - W);
    out.top = ClampCoord(r.bottom - H);
  }
  return out;
}

Rect PlaceTextBox(int32_t W, int32_t H, const Rect& fix, int32_t tw, int32_t th) {
  auto span = [](int64_t size, int64_t near_gap, int64_t far_gap, int64_t text, int32_t* from, int32_t* to) {
    int64_t a = 0, b = size;
    if (near_gap > 0 && far_gap > 0) {
      a = near_gap;
      b = size - far_gap;
    } else if (near_gap > 0) {
      a = near_gap;
      b = near_gap + text;
    } else if (far_gap > 0) {
      a = size - far_gap - text;
      b = size - far_gap;
    }
    *from = ClampCoord(a);
    *to = ClampCoord(b);
  };
  Rect box;
  span(W, fix.left, fix.right, tw, &box.left, &box.right);
  span(H, fix.top, fix.bottom, th, &box.top, &box.bottom);
  return box;
}

std::vector<BlitPiece> BorderStretchPieces(int32_t W, int32_t H, const Rect& dest, const Rect& m) {
  std::vector<BlitPiece> pieces;
  const int32_t DW = dest.Width(), DH = dest.Height();
  const int32_t l = m.left, t = m.top, r = m.right, b = m.bottom;
  auto add = [&](int32_t sl, int32_t st, int32_t sr, int32_t sb, int32_t dl, int32_t dt, int32_t dr, int32_t db) {
    BlitPiece p{Rect{sl, st, sr, sb},
                Rect{dest.left + dl, dest.top + dt, dest.left + dr, dest.top + db}};
    if (!p.src.IsEmpty() && !p.dst.IsEmpty()) pieces.push_back(p);
  };
  if (l >= 1 && t >= 1 && r >= 1 && b >= 1) {
    add(0, 0, l, t, 0, 0, l, t);
    add(0, H - b, l, H, 0, DH - b, l, DH);
    add(W - r, 0, W, t, DW - r, 0, DW, t);
    add(W - r, H - b, W, H, DW - r, DH - b, DW, DH);
    add(0, t, l, H - b, 0, t, l, DH - b);
    add(W - r, t, W, H - b, DW - r, t, DW, DH - b);
    add(l, 0, W - r, t, l, 0, DW - r, t);
    add(l, H - b, W - r, H, l, DH - b, DW - r, DH);
    add(l, t, W - r, H - b, l, t, DW - r, DH - b);
  } else if (l + r >= 1) {
    if (l > 0 && r == 0) {
      add(0, 0, l, H, 0, 0, l, DH);
      add(l, 0, W, H, l, 0, DW, DH);
    } else if (l == 0 && r >= 1) {
      add(0, 0, W - r, H, 0, 0, DW - r, DH);
      add(W - r, 0, W, H, DW - r, 0, DW, DH);
    } else {
      add(0, 0, l, H, 0, 0, l, DH);
      add(l, 0, W - r, H, l, 0, DW - r, DH);
      add(W - r, 0, W, H, DW - r, 0, DW, DH);
    }
  } else if (t + b >= 1) {
    if (t > 0 && b == 0) {
      add(0, 0, W, t, 0, 0, DW, t);
      add(0, t, W, H, 0, t, DW, DH);
    } else if (t == 0 && b >= 1) {
      add(0, 0, W, H - b, 0, 0, DW, DH - b);
      add(0, H - b, W, H, 0, DH - b, DW, DH);
    } else {
      add(0, 0, W, t, 0, 0, DW, t);
      add(0, t, W, H - b, 0, t, DW, DH - b);
      add(0, H - b, W, H, 0, DH - b, DW, DH);
    }
  } else {
    add(0, 0, W, H, 0, 0, DW, DH);
  }
  return pieces;
}

bool ReadBmpSize(const uint8_t* data, size_t size, Size* out, uint64_t file_size) {
  if (!data || size < 26 || data[0] != 'B' || data[1] != 'M') return false;
  const uint32_t header = LoadU32(data + 14);
  int64_t width = 0, height = 0;
  uint32_t bits = 0, compression = 0;
  if (header == 12) {
    width = LoadU16(data + 18);
    height = LoadU16(data + 20);
    bits = LoadU16(data + 24);
  } else if (header >= 40 && size >= 34) {
    width = static_cast<int32_t>(LoadU32(data + 18));
    height = static_cast<int32_t>(LoadU32(data + 22));
    bits = LoadU16(data + 28);
    compression = LoadU32(data + 30);
  } else {
    return false;
  }
  if (height < 0) height = -height;  // top-down rows
  if (width <= 0 || height <= 0 || width > kMaxBitmapSide || height > kMaxBitmapSide ||
      width * height > kMaxBitmapPixels) {
    return false;
  }
  // Uncompressed rows (BI_RGB, BI_BITFIELDS): each padded to 4 bytes, all inside the file.
  if (file_size != 0 && (compression == 0 || compression == 3)) {
    if (bits == 0 || bits > 32) return false;
    const uint64_t stride = ((static_cast<uint64_t>(width) * bits + 31) / 32) * 4;
    const uint64_t offset = LoadU32(data + 10);
    if (offset + stride * static_cast<uint64_t>(height) > file_size) return false;
  }
  *out = Size{static_cast<int32_t>(width), static_cast<int32_t>(height)};
  return true;
}

}  // namespace ui
