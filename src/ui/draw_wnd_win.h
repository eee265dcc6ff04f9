#pragma once
// The skin engine's Windows half (Part 5.1): CDrawWnd gives a page window its skin (background,
// outline, dragging, tooltips, transparent static texts and buttons) and owns the page's drawn
// items (CDrawItem), which it paints, hit-tests and reports through WM_ITEMNOTIFY. Everything
// runs on the user-interface thread. The values come from "Draw.dat" through ui/draw_spec.h.
//
// A skin is untrusted: a missing or malformed bitmap, absurd rectangles, redirect loops or an
// unknown font never stop a page from showing and closing; each problem writes one log line.
// Items are painted through an off-screen picture no larger than the visible part of the item,
// so no rectangle in a skin can drive a large allocation.
#include <windows.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win/unique_handles.h"
#include "ui/draw_spec.h"

namespace ui {

// Posted to the page window: wParam the item identifier, lParam one of ItemEvent.
constexpr UINT WM_ITEMNOTIFY = WM_USER + 0x40;
enum ItemEvent : LPARAM {
  kItemClicked = 1,  // left button released over the item (at most one per 300 ms)
  kItemHover = 2,    // the pointer rests on the item
  kItemLeft = 4,     // the pointer left the item after a hover notification
  // Extension: the left button went down over the item (its pressed bitmap shows until it goes
  // up). Pages that act only on kItemClicked ignore it.
  kItemPressed = 8,
};

enum ItemStyle : uint32_t {
  kStyleNoHandInNormal = 1,
  kStyleHandInSelected = 2,
  kStyleAnyState = 4,       // the state may change without a bitmap for it
  kStyleFixedState = 8,     // every change request resets the state to 0
  kStyleSizeFromText = 16,  // sized from the text when right and bottom are 0
};

// The fonts of one window's items, one per distinct specification (compared without case),
// released with the cache. At most kMaxFonts; further specifications get the system font.
class FontCache {
 public:
  static constexpr size_t kMaxFonts = 64;
  void SetDpi(int dpi) { dpi_ = dpi; }
  // The font for spec, created on first use; null for an empty specification or when the
  // font cannot be created (the caller then uses the system font).
  // A face that the system substitutes is logged once.
  HFONT Get(std::u16string_view spec, HWND window);
  size_t Size() const { return fonts_.size(); }

 private:
  struct Entry {
    std::u16string spec;
    platform::UniqueFont font;
  };
  std::vector<Entry> fonts_;
  int dpi_ = 96;
};

class CDrawWnd;

class CDrawItem {
 public:
  CDrawItem(CDrawWnd* owner, int32_t id);
  CDrawItem(const CDrawItem&) = delete;
  CDrawItem& operator=(const CDrawItem&) = delete;

  int32_t Id() const { return id_; }
  // Stores a different text; style 16 items are sized again. Invalidates the item.
  void SetText(std::u16string_view text);
  const std::u16string& Text() const { return text_; }
  // False when unchanged, refused (no bitmap for the state without style 4) or reset (style 8).
  bool SetState(int state, bool erase = false);
  int GetState() const { return state_; }
  // Loads the item from section (with redirects) and drops its state bitmaps.
  void SetName(std::u16string_view section);
  void SetStyle(uint32_t style) { style_ = style; }
  uint32_t Style() const { return style_; }
  void SetVisible(bool visible);
  bool Visible() const { return visible_; }
  // A tooltip text shown while the pointer rests on the item (needs a tooltip from Attach).
  void SetTooltip(std::u16string_view text);
  const Rect& GetRect() const { return skin_.rect; }
  const std::u16string& Section() const { return skin_.section; }
  // Whether the item is hit at client point (x, y): visible, not in state 3 or 5, inside.
  bool HitTest(int x, int y) const;

 private:
  friend class CDrawWnd;
  HBITMAP StateBitmap(int state);
  bool StateBitmapExists(int state);
  void ReleaseBitmaps();
  void Invalidate(bool erase);
  // Paints into dc (the page's paint DC) in client coordinates.
  void Paint(HDC dc, const RECT& client);
  // Measures the text of the current state; sizes a style-16 item when size_only is set,
  // otherwise draws it into dc.
  void DrawItemText(HDC dc, bool size_only);
  HFONT StateFont(int state) const;
  void Post(LPARAM event);
  void RegisterTooltip();

  CDrawWnd* owner_;
  int32_t id_;
  bool visible_ = true;
  std::u16string text_;
  int state_ = 0;
  uint32_t style_ = 0;
  ItemSkin skin_;
  std::u16string skin_folder_;
  bool has_skin_folder_ = false;
  platform::UniqueBitmap bitmaps_[kStateCount];
  Size bitmap_sizes_[kStateCount];
  bool bitmap_tried_[kStateCount] = {};
  // Whether the file of each state exists: 0 not yet looked, 1 yes, 2 no (reset on reload).
  uint8_t bitmap_exists_[kStateCount] = {};
  HFONT fonts_[kStateCount] = {};
  DWORD last_click_ = 0;
  bool click_posted_ = false;
  bool hover_owed_ = false;
  std::u16string tooltip_;
  bool tooltip_registered_ = false;
};

class CDrawWnd {
 public:
  CDrawWnd();
  virtual ~CDrawWnd();
  CDrawWnd(const CDrawWnd&) = delete;
  CDrawWnd& operator=(const CDrawWnd&) = delete;

  // False for no window. Loads the window's section, remembers draggable, reads the window's
  // resolution for font sizes, and creates the tooltip window when asked.
  bool Attach(HWND window, std::u16string_view section, bool tooltip, bool draggable);
  // Reads Table 1 of section (the current one when empty) and loads the background. Always true.
  bool LoadWindowSkin(std::u16string_view section = {});
  // A new item with that identifier, loaded from "PIC%04d"; owned by this object.
  CDrawItem* AddItem(int32_t id);
  CDrawItem* FindItem(int32_t id);
  // The first item in list order hit at client point (x, y), or null.
  CDrawItem* HitItem(int x, int y);
  static Size GetBitmapSize(HBITMAP bitmap);
  // Resizes the window to the background when both sides exceed 10 pixels, never beyond the
  // work area of the window's monitor. False when it did not resize.
  bool ResizeToBackground();
  HBITMAP Background() const { return background_.get(); }
  HWND Window() const { return window_; }
  const WindowSkin& Skin() const { return skin_; }
  // The engine's message handling; true when the message was consumed (*result then holds the
  // answer). Pages call it for every message they do not handle themselves.
  bool ProcessWindowMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam, LRESULT* result);
  bool Handled() const { return handled_; }
  // Forwards a mouse message to the tooltip window.
  virtual void RelayEvent(MSG* message);

 private:
  friend class CDrawItem;
  void RebuildOutline();
  void PaintBackground(HDC dc, const RECT& client);
  void PaintItems();
  void OnPointer(POINT client_point);
  void OnHover(POINT client_point);
  void OnLeave();
  void OnButtonUp(POINT client_point);
  bool OnButtonDown(POINT client_point, LPARAM screen_lparam);
  bool OnSetCursor();
  POINT CursorClientPoint() const;

  std::vector<std::unique_ptr<CDrawItem>> items_;
  HWND window_ = nullptr;
  bool handled_ = false;
  WindowSkin skin_;
  platform::UniqueBitmap background_;
  Size background_size_;
  FontCache fonts_;
  platform::UniqueWindow tooltip_;
  bool draggable_ = false;
  bool dragging_ = false;
  bool tracking_ = false;
  bool nc_tracking_ = false;
  CDrawItem* pressed_ = nullptr;
  uint16_t lang_ = 0;
  DrawFile file_;
};

// Loads a skin bitmap from path: null (with a log line, unless the file is simply missing) when
// the file is no BMP, too large (ui::ReadBmpSize) or the platform cannot load it.
HBITMAP LoadSkinBitmap(const std::u16string& path, Size* size);

// The process's GDI object count: GetGuiResources, or where that is a stub (Wine) the number of
// live entries of the process's GDI handle table. For leak tests and skinview --cycle.
uint32_t CountGdiObjects();

}  // namespace ui
