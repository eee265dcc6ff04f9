#include "ui/draw_wnd_win.h"

#include <commctrl.h>

#include <algorithm>

#include "app/log.h"
#include "base/path.h"
#include "base/strings.h"
#include "platform/fs.h"
#include "ui/skin_folder.h"

namespace ui {
namespace {

static_assert(sizeof(wchar_t) == 2, "UTF-16 wchar_t");
const wchar_t* W(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

constexpr size_t kMaxItemText = 4096;
constexpr DWORD kClickDebounceMs = 300;

RECT ToRECT(const Rect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// A coordinate at the clamp limit came from an absurd number in the skin.
bool AtLimit(const Rect& r) {
  for (int32_t v : {r.left, r.top, r.right, r.bottom}) {
    if (v == kCoordLimit || v == -kCoordLimit) return true;
  }
  return false;
}

void LogSkin(const char16_t* what, const std::u16string& detail) { app::LogText2(what, detail.c_str()); }

// Copies a bitmap of w x h into dest (logical coordinates of dc): tiled, border-preserving or
// plain stretched, each copy a plain source copy.
void DrawBitmap(HDC dc, HBITMAP bitmap, const Size& size, const Rect& dest, int32_t paint_type,
                const Rect& margins) {
  if (dest.IsEmpty() || size.width <= 0 || size.height <= 0) return;
  if (paint_type == 1) {
    // A pattern brush repeats the bitmap from the brush origin, the destination's top-left
    // corner: the tiling rule in one fill, however small the tile.
    platform::UniqueBrush brush(CreatePatternBrush(bitmap));
    if (!brush) return;
    POINT origin{dest.left, dest.top};
    LPtoDP(dc, &origin, 1);
    SetBrushOrgEx(dc, origin.x, origin.y, nullptr);
    RECT r = ToRECT(dest);
    FillRect(dc, &r, brush.get());
    return;
  }
  platform::UniqueMemoryDc source(CreateCompatibleDC(dc));
  if (!source) return;
  platform::SelectedObject selected(source.get(), bitmap);
  SetStretchBltMode(dc, COLORONCOLOR);
  const bool any_margin = margins.left || margins.top || margins.right || margins.bottom;
  const std::vector<BlitPiece> pieces =
      any_margin ? BorderStretchPieces(size.width, size.height, dest, margins)
                 : std::vector<BlitPiece>{BlitPiece{Rect{0, 0, size.width, size.height}, dest}};
  for (const BlitPiece& p : pieces) {
    StretchBlt(dc, p.dst.left, p.dst.top, p.dst.Width(), p.dst.Height(), source.get(), p.src.left, p.src.top,
               p.src.Width(), p.src.Height(), SRCCOPY);
  }
}

// The number of pixels in a region.
int64_t RegionArea(HRGN region) {
  const DWORD bytes = GetRegionData(region, 0, nullptr);
  if (bytes < sizeof(RGNDATAHEADER)) return 0;
  std::vector<uint8_t> buffer(bytes);
  auto* data = reinterpret_cast<RGNDATA*>(buffer.data());
  if (GetRegionData(region, bytes, data) != bytes) return 0;
  const auto* rects = reinterpret_cast<const RECT*>(data->Buffer);
  const DWORD count = std::min<DWORD>(data->rdh.nCount, (bytes - sizeof(RGNDATAHEADER)) / sizeof(RECT));
  int64_t area = 0;
  for (DWORD i = 0; i < count; ++i) area += int64_t{rects[i].right - rects[i].left} * (rects[i].bottom - rects[i].top);
  return area;
}

}  // namespace

HBITMAP LoadSkinBitmap(const std::u16string& path, Size* size) {
  *size = Size{};
  platform::File file = platform::File::Open(path, platform::FileAccess::kRead,
                                             platform::FileDisposition::kOpenExisting);
  if (!file.IsOpen()) return nullptr;  // a missing state bitmap is normal
  uint8_t header[64] = {};
  size_t got = 0;
  uint64_t file_size = 0;
  file.Size(&file_size);
  file.Read(header, sizeof header, &got);
  file.Close();
  Size declared;
  if (!ReadBmpSize(header, got, &declared, file_size == 0 ? 1 : file_size)) {
    LogSkin(u"skin: not a usable bitmap (no BMP, cut short, or larger than 8192 pixels a side): ", path);
    return nullptr;
  }
  auto* bitmap = static_cast<HBITMAP>(LoadImageW(nullptr, W(path), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE));
  if (!bitmap) {
    app::LogText2(u"skin: the bitmap does not load: ", path.c_str(), GetLastError());
    return nullptr;
  }
  *size = CDrawWnd::GetBitmapSize(bitmap);
  return bitmap;
}

uint32_t CountGdiObjects() {
  const DWORD reported = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  if (reported != 0) return reported;
  // Wine answers 0 (a stub). Its GDI handles are an index into the process's handle table in
  // the low 16 bits; a handle whose high word is 0 names the entry whatever its generation, so
  // every live object answers GetObjectType for exactly one of these values.
  uint32_t count = 0;
  for (uintptr_t index = 1; index < 0x10000; ++index) {
    if (GetObjectType(reinterpret_cast<HGDIOBJ>(index)) != 0) ++count;
  }
  return count;
}

// ---- FontCache ----

HFONT FontCache::Get(std::u16string_view spec, HWND window) {
  if (spec.empty()) return nullptr;
  for (const Entry& entry : fonts_) {
    if (base::EqualsIgnoreAsciiCase(entry.spec, spec)) return entry.font.get();
  }
  if (fonts_.size() >= kMaxFonts) {
    LogSkin(u"skin: too many fonts for one page, the system font stands in for: ", std::u16string(spec));
    return nullptr;
  }
  const FontSpec parsed = ParseFontSpec(spec);
  LOGFONTW lf{};
  lf.lfHeight = FontLogicalHeight(parsed, dpi_);
  lf.lfWidth = parsed.width;
  lf.lfEscapement = parsed.escapement;
  lf.lfOrientation = parsed.escapement;
  lf.lfWeight = parsed.weight;
  lf.lfItalic = parsed.italic;
  lf.lfUnderline = parsed.underline;
  lf.lfPitchAndFamily = 1;
  std::copy(parsed.face.begin(), parsed.face.end(), reinterpret_cast<char16_t*>(lf.lfFaceName));
  platform::UniqueFont font(CreateFontIndirectW(&lf));
  if (!font) {
    app::LogText2(u"skin: the font cannot be created, the system font stands in for: ",
                  std::u16string(spec).c_str(), GetLastError());
    return nullptr;
  }
  // A face the system does not have is substituted: worth a line for the skin's designer.
  platform::WindowDc dc(window);
  if (dc.get()) {
    platform::SelectedObject selected(dc.get(), font.get());
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc.get(), LF_FACESIZE, face);
    if (!base::EqualsIgnoreAsciiCase(reinterpret_cast<const char16_t*>(face), parsed.face)) {
      app::LogText3(u"skin: font face not installed: ", parsed.face.c_str(), u"; the system substitutes another");
    }
  }
  fonts_.push_back(Entry{std::u16string(spec), std::move(font)});
  return fonts_.back().font.get();
}

// ---- CDrawItem ----

CDrawItem::CDrawItem(CDrawWnd* owner, int32_t id) : owner_(owner), id_(id) {
  has_skin_folder_ = GetSkinPath(&skin_folder_);
}

void CDrawItem::SetText(std::u16string_view text) {
  text = text.substr(0, kMaxItemText);
  if (text == text_) return;
  text_ = std::u16string(text);
  if (style_ & kStyleSizeFromText) {
    Invalidate(true);  // the old extent goes with the old text
    skin_.rect.right = 0;
    skin_.rect.bottom = 0;
  }
  Invalidate(false);
}

bool CDrawItem::SetState(int state, bool erase) {
  if (state < 0 || state >= kStateCount || state == state_) return false;
  if (style_ & kStyleFixedState) {
    if (state_ != 0) {
      state_ = 0;
      Invalidate(erase);
    }
    return false;
  }
  if (!(style_ & kStyleAnyState) && !StateBitmapExists(state)) return false;
  state_ = state;
  Invalidate(erase);
  return true;
}

void CDrawItem::SetName(std::u16string_view section) {
  LoadItemSection(owner_->file_, section, owner_->lang_, &skin_);
  if (skin_.redirect_cut) LogSkin(u"skin: redirect chain cut (a loop, or too long) at section ", skin_.section);
  if (AtLimit(skin_.rect)) LogSkin(u"skin: an absurd item rectangle was clamped in section ", skin_.section);
  for (int n = 0; n < kStateCount; ++n) {
    if (skin_.styles[n].font.empty()) continue;
    HFONT font = owner_->fonts_.Get(skin_.styles[n].font, owner_->window_);
    if (font) fonts_[n] = font;
  }
  ReleaseBitmaps();
}

void CDrawItem::SetVisible(bool visible) {
  if (visible_ == visible) return;
  visible_ = visible;
  Invalidate(true);
}

void CDrawItem::SetTooltip(std::u16string_view text) {
  tooltip_ = std::u16string(text.substr(0, 255));
  RegisterTooltip();
}

bool CDrawItem::HitTest(int x, int y) const {
  return visible_ && state_ != 3 && state_ != 5 && skin_.rect.Contains(x, y);
}

void CDrawItem::RegisterTooltip() {
  HWND tip = owner_->tooltip_.get();
  if (!tip || !owner_->window_) return;
  TTTOOLINFOW info{};
  // The version-5 size: the common controls without a version-6 manifest refuse the larger one.
  info.cbSize = TTTOOLINFOW_V2_SIZE;
  info.hwnd = owner_->window_;
  info.uId = static_cast<UINT_PTR>(id_);
  if (tooltip_registered_) {
    SendMessageW(tip, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    tooltip_registered_ = false;
  }
  if (tooltip_.empty() || skin_.rect.IsEmpty()) return;
  info.rect = ToRECT(skin_.rect);
  info.lpszText = const_cast<wchar_t*>(W(tooltip_));
  tooltip_registered_ = SendMessageW(tip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info)) != 0;
}

bool CDrawItem::StateBitmapExists(int state) {
  if (bitmap_exists_[state] == 0) {
    // Asked on every pointer move over the item: the answer is kept until the item reloads.
    const std::u16string name = StateBitmapName(skin_.section, state);
    bitmap_exists_[state] =
        has_skin_folder_ && base::IsContainedFilePath(name) && platform::PathExists(skin_folder_ + name) ? 1 : 2;
  }
  return bitmap_exists_[state] == 1;
}

HBITMAP CDrawItem::StateBitmap(int state) {
  if (!bitmap_tried_[state]) {
    bitmap_tried_[state] = true;
    const std::u16string name = StateBitmapName(skin_.section, state);
    if (!has_skin_folder_) {
      // No skin folder: every skin file counts as missing.
    } else if (!base::IsContainedFilePath(name)) {
      LogSkin(u"skin: item bitmap name leaves the skin folder: ", name);
    } else if (skin_folder_.size() + name.size() <= kMaxSkinPath) {
      bitmaps_[state].reset(LoadSkinBitmap(skin_folder_ + name, &bitmap_sizes_[state]));
    }
  }
  return bitmaps_[state].get();
}

void CDrawItem::ReleaseBitmaps() {
  for (int n = 0; n < kStateCount; ++n) {
    bitmaps_[n].reset();
    bitmap_tried_[n] = false;
    bitmap_exists_[n] = 0;
    bitmap_sizes_[n] = Size{};
  }
}

void CDrawItem::Invalidate(bool erase) {
  if (!owner_->window_ || skin_.rect.IsEmpty()) return;
  RECT r = ToRECT(skin_.rect);
  InvalidateRect(owner_->window_, &r, erase ? TRUE : FALSE);
}

HFONT CDrawItem::StateFont(int state) const {
  return fonts_[state] ? fonts_[state] : static_cast<HFONT>(GetStockObject(SYSTEM_FONT));
}

void CDrawItem::Post(LPARAM event) {
  if (owner_->window_) PostMessageW(owner_->window_, WM_ITEMNOTIFY, static_cast<WPARAM>(id_), event);
}

void CDrawItem::DrawItemText(HDC dc, bool size_only) {
  const TextStyle& style = skin_.styles[state_];
  platform::SelectedObject font(dc, StateFont(state_));
  const int old_mode = SetBkMode(dc, TRANSPARENT);
  const COLORREF old_color = SetTextColor(dc, style.color);
  const int length = static_cast<int>(text_.size());
  RECT measured{0, 0, 0, 0};
  DrawTextW(dc, W(text_), length, &measured, style.align | DT_CALCRECT);
  const int32_t tw = ClampCoord(measured.right - measured.left);
  const int32_t th = ClampCoord(measured.bottom - measured.top);
  Rect& r = skin_.rect;
  if (size_only) {
    const bool was_empty = r.IsEmpty();
    r.right = ClampCoord(int64_t{r.left} + style.fix.left + 2 + tw + style.fix.right);
    r.bottom = ClampCoord(int64_t{r.top} + style.fix.top + 2 + th + style.fix.bottom);
    if (was_empty && !r.IsEmpty()) {
      RegisterTooltip();
      Invalidate(false);
    }
  } else {
    const Rect box = PlaceTextBox(r.Width(), r.Height(), style.fix, tw, th);
    RECT target{r.left + box.left, r.top + box.top, r.left + box.right, r.top + box.bottom};
    DrawTextW(dc, W(text_), length, &target, style.align);
  }
  SetTextColor(dc, old_color);
  SetBkMode(dc, old_mode);
}

void CDrawItem::Paint(HDC dc, const RECT& client) {
  if (!visible_) return;
  HBITMAP bitmap = StateBitmap(state_);
  if (bitmap) {
    const bool was_empty = skin_.rect.IsEmpty();
    skin_.rect = CompleteRect(skin_.rect, bitmap_sizes_[state_].width, bitmap_sizes_[state_].height);
    if (was_empty && !skin_.rect.IsEmpty()) {
      RegisterTooltip();
      Invalidate(false);
    }
  } else {
    if (text_.empty()) return;
    if ((style_ & kStyleSizeFromText) && skin_.rect.right + skin_.rect.bottom == 0) DrawItemText(dc, true);
  }
  const Rect& r = skin_.rect;
  if (r.IsEmpty()) return;
  // The off-screen picture covers only the visible part of the item, so an absurd rectangle
  // costs no more than the window itself.
  RECT item = ToRECT(r), visible;
  if (!IntersectRect(&visible, &item, &client)) return;
  const int width = visible.right - visible.left, height = visible.bottom - visible.top;
  platform::UniqueMemoryDc memory(CreateCompatibleDC(dc));
  platform::UniqueBitmap picture(CreateCompatibleBitmap(dc, width, height));
  if (!memory || !picture) return;
  platform::SelectedObject selected(memory.get(), picture.get());
  // Drawing in client coordinates: the picture's pixel (0,0) is the visible part's corner.
  SetViewportOrgEx(memory.get(), -visible.left, -visible.top, nullptr);
  if (bitmap) {
    DrawBitmap(memory.get(), bitmap, bitmap_sizes_[state_], r, skin_.paint_type, skin_.stretch_margins);
  } else if (owner_->background_) {
    owner_->PaintBackground(memory.get(), client);
  } else {
    BitBlt(memory.get(), visible.left, visible.top, width, height, dc, visible.left, visible.top, SRCCOPY);
  }
  if (!text_.empty()) DrawItemText(memory.get(), false);
  BitBlt(dc, visible.left, visible.top, width, height, memory.get(), visible.left, visible.top, SRCCOPY);
}

// ---- CDrawWnd ----

CDrawWnd::CDrawWnd() = default;

CDrawWnd::~CDrawWnd() {
  // Items hold fonts of the cache and are released first; the tooltip window goes with its owner.
  items_.clear();
}

bool CDrawWnd::Attach(HWND window, std::u16string_view section, bool tooltip, bool draggable) {
  if (!window) return false;
  window_ = window;
  {
    platform::WindowDc dc(window);
    if (dc.get()) fonts_.SetDpi(GetDeviceCaps(dc.get(), LOGPIXELSY));
  }
  LoadWindowSkin(section);
  draggable_ = draggable;
  if (tooltip && !tooltip_) {
    tooltip_.reset(CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                   CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, window, nullptr,
                                   GetModuleHandleW(nullptr), nullptr));
  }
  return true;
}

bool CDrawWnd::LoadWindowSkin(std::u16string_view section) {
  if (!section.empty()) skin_.section = std::u16string(section);
  lang_ = GetLangID();
  std::u16string draw_path;
  if (!GetSkinPath(&draw_path, u"Draw.dat") || !file_.Load(draw_path)) {
    LogSkin(u"skin: Draw.dat missing, unreadable or too large: ", draw_path);
  }
  if (skin_.section.empty()) return true;
  if (!file_.HasSection(skin_.section)) LogSkin(u"skin: Draw.dat has no section ", skin_.section);
  LoadWindowSection(file_, skin_.section, &skin_);
  for (const Rect& r : skin_.erase_rects) {
    if (AtLimit(r)) LogSkin(u"skin: an absurd erase rectangle was clamped in section ", skin_.section);
  }
  background_.reset();
  background_size_ = Size{};
  std::u16string path;
  if (!base::IsContainedFilePath(skin_.background)) {
    LogSkin(u"skin: background name leaves the skin folder: ", skin_.background);
  } else if (GetSkinPath(&path, skin_.background) && path.size() <= kMaxSkinPath) {
    background_.reset(LoadSkinBitmap(path, &background_size_));
    if (!background_) LogSkin(u"skin: no background bitmap: ", path);
  }
  if (window_) {
    RebuildOutline();
    InvalidateRect(window_, nullptr, TRUE);
  }
  return true;
}

CDrawItem* CDrawWnd::AddItem(int32_t id) {
  auto item = std::make_unique<CDrawItem>(this, id);
  item->SetName(ItemSectionName(id));
  items_.push_back(std::move(item));
  return items_.back().get();
}

CDrawItem* CDrawWnd::FindItem(int32_t id) {
  for (auto& item : items_) {
    if (item->Id() == id) return item.get();
  }
  return nullptr;
}

CDrawItem* CDrawWnd::HitItem(int x, int y) {
  for (auto& item : items_) {
    if (item->HitTest(x, y)) return item.get();
  }
  return nullptr;
}

Size CDrawWnd::GetBitmapSize(HBITMAP bitmap) {
  BITMAP info{};
  if (!bitmap || !GetObjectW(bitmap, sizeof info, &info)) return Size{};
  return Size{info.bmWidth, std::abs(info.bmHeight)};
}

bool CDrawWnd::ResizeToBackground() {
  if (!window_ || background_size_.width <= 10 || background_size_.height <= 10) return false;
  MONITORINFO monitor{};
  monitor.cbSize = sizeof monitor;
  int width = background_size_.width, height = background_size_.height;
  if (GetMonitorInfoW(MonitorFromWindow(window_, MONITOR_DEFAULTTONEAREST), &monitor)) {
    const RECT& area = monitor.rcWork;
    if (width > area.right - area.left || height > area.bottom - area.top) {
      app::LogText(u"skin: the background is larger than the screen; the window is cut to the screen");
    }
    width = std::min<int>(width, area.right - area.left);
    height = std::min<int>(height, area.bottom - area.top);
  }
  return SetWindowPos(window_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
}

void CDrawWnd::RebuildOutline() {
  RECT client;
  if (!window_ || !GetClientRect(window_, &client)) return;
  platform::UniqueRegion region(CreateRectRgn(client.left, client.top, client.right, client.bottom));
  if (!region) return;
  const int w = skin_.corner_ellipse.width, h = skin_.corner_ellipse.height;
  if (w > 0 && h > 0) {
    // Each corner: the box of half the ellipse, less the ellipse anchored in that corner.
    const int hw = w / 2, hh = h / 2;
    const RECT boxes[4] = {{client.left, client.top, client.left + hw, client.top + hh},
                           {client.left, client.bottom - hh, client.left + hw, client.bottom},
                           {client.right - hw, client.top, client.right, client.top + hh},
                           {client.right - hw, client.bottom - hh, client.right, client.bottom}};
    const RECT ellipses[4] = {{client.left, client.top, client.left + w, client.top + h},
                              {client.left, client.bottom - h, client.left + w, client.bottom},
                              {client.right - w, client.top, client.right, client.top + h},
                              {client.right - w, client.bottom - h, client.right, client.bottom}};
    for (int i = 0; i < 4; ++i) {
      platform::UniqueRegion box(CreateRectRgnIndirect(&boxes[i]));
      platform::UniqueRegion ellipse(CreateEllipticRgnIndirect(&ellipses[i]));
      if (!box || !ellipse) continue;
      CombineRgn(box.get(), box.get(), ellipse.get(), RGN_DIFF);
      CombineRgn(region.get(), region.get(), box.get(), RGN_XOR);
    }
  }
  auto remove = [&](const Rect& r) {
    platform::UniqueRegion area(CreateRectRgn(r.left, r.top, r.right, r.bottom));
    if (area) CombineRgn(region.get(), region.get(), area.get(), RGN_XOR);
  };
  for (const Rect& r : skin_.erase_rects) remove(r);
  const Rect client_rect{client.left, client.top, client.right, client.bottom};
  for (const CornerErase& c : skin_.corner_erases) remove(CornerEraseRect(c, client_rect));
  // Exclusive-or with areas outside the window adds those areas: only the window's part counts.
  platform::UniqueRegion inside(CreateRectRgn(client.left, client.top, client.right, client.bottom));
  if (inside) CombineRgn(region.get(), region.get(), inside.get(), RGN_AND);
  if (RegionArea(region.get()) * 4 < int64_t{client.right - client.left} * (client.bottom - client.top)) {
    // A skin that erases everything would leave an invisible window: keep the plain outline.
    app::LogText(u"skin: the outline erases the whole window (or most of it); the window keeps its rectangle");
    SetWindowRgn(window_, nullptr, TRUE);
    return;
  }
  HRGN shape = region.release();
  if (!SetWindowRgn(window_, shape, TRUE)) DeleteObject(shape);  // the window owns it on success
}

void CDrawWnd::PaintBackground(HDC dc, const RECT& client) {
  if (!background_) return;
  DrawBitmap(dc, background_.get(), background_size_, Rect{client.left, client.top, client.right, client.bottom},
             skin_.paint_type, skin_.stretch_margins);
}

void CDrawWnd::PaintItems() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  if (dc) {
    RECT client;
    GetClientRect(window_, &client);
    for (auto& item : items_) item->Paint(dc, client);
  }
  EndPaint(window_, &paint);
}

POINT CDrawWnd::CursorClientPoint() const {
  POINT p{};
  GetCursorPos(&p);
  ScreenToClient(window_, &p);
  return p;
}

// The engine switches only between states 0 and 1: a state a page set (2 pressed, 4 selected,
// 3 and 5 inactive) stays while the pointer is inside, and a pressed item keeps state 2 until
// the button goes up.
void CDrawWnd::OnPointer(POINT p) {
  for (auto& holder : items_) {
    CDrawItem& item = *holder;
    if (item.state_ == 3 || item.state_ == 4 || item.state_ == 5) continue;
    if (item.visible_ && item.skin_.rect.Contains(p.x, p.y)) {
      if (item.state_ == 0) item.SetState(1);
      if (!item.hover_owed_) {
        TRACKMOUSEEVENT track{sizeof track, TME_HOVER, window_, 100};
        TrackMouseEvent(&track);
        item.hover_owed_ = true;
      }
    } else {
      if (item.hover_owed_) {
        item.hover_owed_ = false;
        item.Post(kItemLeft);
      }
      if (item.state_ == 1 || (item.state_ == 2 && &item != pressed_)) item.SetState(0);
    }
  }
}

void CDrawWnd::OnHover(POINT p) {
  for (auto& item : items_) {
    if (item->HitTest(p.x, p.y)) {
      item->hover_owed_ = true;
      item->Post(kItemHover);
    } else if (item->hover_owed_) {
      item->hover_owed_ = false;
      item->Post(kItemLeft);
    }
  }
}

void CDrawWnd::OnLeave() {
  for (auto& item : items_) {
    if (item->state_ == 1) item->SetState(0);
    if (item->hover_owed_) {
      item->hover_owed_ = false;
      item->Post(kItemLeft);
    }
  }
}

bool CDrawWnd::OnButtonDown(POINT p, LPARAM) {
  CDrawItem* item = HitItem(p.x, p.y);
  if (item) {
    if ((item->state_ == 0 || item->state_ == 1) && item->SetState(2)) {
      pressed_ = item;
      SetCapture(window_);
    }
    item->Post(kItemPressed);
    return false;
  }
  if (draggable_) {
    dragging_ = true;
    POINT screen = p;
    ClientToScreen(window_, &screen);
    PostMessageW(window_, WM_NCLBUTTONDOWN, HTCAPTION, MAKELPARAM(screen.x, screen.y));
  }
  return false;
}

void CDrawWnd::OnButtonUp(POINT p) {
  if (pressed_) {
    CDrawItem* item = pressed_;
    pressed_ = nullptr;
    if (GetCapture() == window_) ReleaseCapture();
    if (item->state_ == 2 && !(item->HitTest(p.x, p.y) && item->SetState(1))) item->SetState(0);
  }
  const DWORD now = GetTickCount();
  for (auto& item : items_) {
    if (!item->HitTest(p.x, p.y)) continue;
    if (item->click_posted_ && now - item->last_click_ <= kClickDebounceMs) continue;
    item->click_posted_ = true;
    item->last_click_ = now;
    item->Post(kItemClicked);
  }
  dragging_ = false;
}

bool CDrawWnd::OnSetCursor() {
  const POINT p = CursorClientPoint();
  CDrawItem* item = HitItem(p.x, p.y);
  if (item) {
    const bool arrow = (item->state_ == 0 && (item->style_ & kStyleNoHandInNormal)) ||
                       (item->state_ == 4 && !(item->style_ & kStyleHandInSelected));
    SetCursor(LoadCursorW(nullptr, arrow ? IDC_ARROW : IDC_HAND));
    return !arrow;
  }
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  return false;
}

void CDrawWnd::RelayEvent(MSG* message) {
  if (tooltip_) SendMessageW(tooltip_.get(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(message));
}

bool CDrawWnd::ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result) {
  handled_ = false;
  if (!window_ || window != window_) return false;
  const POINT client_point{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
  switch (message) {
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
    case WM_LBUTTONUP: {
      MSG relay{window, message, wparam, lparam, static_cast<DWORD>(GetMessageTime()), {}};
      GetCursorPos(&relay.pt);
      RelayEvent(&relay);
      break;
    }
    default:
      break;
  }
  switch (message) {
    case WM_ERASEBKGND:
      if (background_ && wparam) {
        RECT client;
        GetClientRect(window_, &client);
        PaintBackground(reinterpret_cast<HDC>(wparam), client);
        *result = 1;
        handled_ = true;
      }
      break;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:  // the second press of a double click, in classes with CS_DBLCLKS
      OnButtonDown(client_point, lparam);
      break;
    case WM_LBUTTONUP:
      OnButtonUp(client_point);
      break;
    case WM_NCHITTEST: {
      POINT p{static_cast<short>(LOWORD(lparam)), static_cast<short>(HIWORD(lparam))};
      ScreenToClient(window_, &p);
      OnPointer(p);
      RECT client;
      GetClientRect(window_, &client);
      if (draggable_ && PtInRect(&client, p) && !HitItem(p.x, p.y)) {
        *result = HTCAPTION;
        handled_ = true;
      } else {
        *result = HTCLIENT;
      }
      break;
    }
    case WM_PAINT:
      PaintItems();
      *result = 0;
      handled_ = true;
      break;
    case WM_SETCURSOR:
      if (reinterpret_cast<HWND>(wparam) == window_ && OnSetCursor()) {
        *result = TRUE;
        handled_ = true;
      }
      break;
    case WM_SIZE:
      RebuildOutline();
      break;
    case WM_MOUSELEAVE:
      OnLeave();
      tracking_ = false;
      break;
    case WM_MOUSEHOVER:
      OnHover(client_point);
      break;
    case WM_MOUSEMOVE:
      if (!tracking_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE | TME_HOVER, window_, 300};
        tracking_ = TrackMouseEvent(&track) != 0;
      }
      break;
    case WM_NCMOUSEMOVE:
      if (!nc_tracking_) {
        TRACKMOUSEEVENT track{sizeof track, TME_LEAVE | TME_NONCLIENT, window_, HOVER_DEFAULT};
        nc_tracking_ = TrackMouseEvent(&track) != 0;
      }
      break;
    case WM_NCMOUSELEAVE:
      OnLeave();
      nc_tracking_ = false;
      break;
    case WM_CAPTURECHANGED:
      if (pressed_ && reinterpret_cast<HWND>(lparam) != window_) {
        CDrawItem* item = pressed_;
        pressed_ = nullptr;
        if (item->state_ == 2) item->SetState(0);
      }
      break;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
      SetBkMode(reinterpret_cast<HDC>(wparam), TRANSPARENT);
      *result = reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH));
      handled_ = true;
      break;
    default:
      break;
  }
  return handled_;
}

}  // namespace ui
