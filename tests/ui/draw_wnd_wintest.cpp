// The skin engine on real windows: GDI objects are released (200 pages shown and
// closed keep the process's GDI count), and hostile skins still give a page that shows, stays
// within the screen, can be closed and leaves a log line. Pixels are the visual tests' part
// (tests/visual, through skinview on Xvfb).
#include <windows.h>

#include <gtest/gtest.h>

#include <commctrl.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/wizard_state.h"
#include "bmp_bytes.h"
#include "support/log_tail.h"
#include "support/programs.h"
#include "support/scratch_dir.h"
#include "ui/draw_wnd_win.h"
#include "ui/skin_folder.h"

namespace {

using ui_testing::Put32;
using ui_testing::SolidBmp;

// A scratch skin folder, set as the process-wide skin folder until it goes.
class SkinFolder {
 public:
  SkinFolder() { app::SetSkinFolder(dir_.path() + u"\\"); }
  ~SkinFolder() { app::ClearSkinFolder(); }
  void Write(const std::u16string& name, const std::vector<uint8_t>& bytes) const {
    testing_support::WriteBytes(dir_.Join(name), bytes);
  }
  void WriteText(const std::u16string& name, const std::string& utf8) const {
    testing_support::WriteText(dir_.Join(name), utf8);
  }
  const std::u16string& Path() const { return dir_.path(); }

 private:
  testing_support::ScratchDir dir_;
};

struct TestPage {
  ui::CDrawWnd draw;
  HWND window = nullptr;
  std::vector<std::pair<WPARAM, LPARAM>> posted;
};

LRESULT CALLBACK TestPageProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_NCCREATE) {
    SetWindowLongPtrW(window, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams));
  }
  auto* page = reinterpret_cast<TestPage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (page) {
    if (message == WM_KEYDOWN && wparam == VK_ESCAPE) {
      DestroyWindow(window);
      return 0;
    }
    if (message == ui::WM_ITEMNOTIFY) {
      page->posted.emplace_back(wparam, lparam);
      return 0;
    }
    LRESULT result = 0;
    if (page->draw.ProcessWindowMessage(window, message, wparam, lparam, &result)) return result;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

void Pump() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

// A page window with the skin of section and the items, as a wizard page builds it; null when
// no window can be made (no display).
HWND OpenPage(TestPage* page, const char16_t* section, const std::vector<int>& items, bool show) {
  static const bool registered = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = TestPageProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"NorvSkinTestPage";
    return RegisterClassExW(&wc) != 0;
  }();
  if (!registered) return nullptr;
  page->window = CreateWindowExW(0, L"NorvSkinTestPage", L"", WS_POPUP | WS_SYSMENU, 10, 10, 300, 200, nullptr,
                                 nullptr, GetModuleHandleW(nullptr), page);
  if (!page->window) return nullptr;
  page->draw.Attach(page->window, section, true, true);
  page->draw.ResizeToBackground();
  for (int id : items) page->draw.AddItem(id);
  if (show) {
    ShowWindow(page->window, SW_SHOWNOACTIVATE);
    UpdateWindow(page->window);
  }
  Pump();
  return page->window;
}

// Paints the page in every state of every item, as a hidden window gets no paint of its own.
void PaintEveryState(TestPage* page, const std::vector<int>& items) {
  platform::WindowDc screen(page->window);
  platform::UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
  platform::UniqueBitmap canvas(CreateCompatibleBitmap(screen.get(), 32, 32));
  platform::SelectedObject selected(memory.get(), canvas.get());
  for (int state = 0; state < ui::kStateCount; ++state) {
    for (int id : items) page->draw.FindItem(id)->SetState(state);
    SendMessageW(page->window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.get()), 0);
    InvalidateRect(page->window, nullptr, FALSE);
    SendMessageW(page->window, WM_PAINT, 0, 0);
  }
}

const char kFullSkin[] =
    "[Page]\nbackground=bg.bmp\nCornerEllipse=12,12\nEraseRect1=0,0,4,4\nRightBottomEraseRect1=0,0,6,6\n"
    "StretchRect=8,8,8,8\n"
    "[PIC2004]\nleft=20\ntop=100\n"
    "[PIC2004.Text]\nFont=name:Arial,size:10,bold\nFont1=name:Arial,size:11\nTextColor=255,255,255\nAlign=allcenter\n"
    "[PIC2005]\nleft=10\ntop=10\nPaintType=Tile\n"
    "[PIC2006]\nleft=120\ntop=20\n"
    "[Text.Default]\nFont=name:Tahoma,size:9\nFont2=name:Tahoma,size:9,underline\nTextColor=20,30,40\n";

void WriteFullSkin(const SkinFolder& skin) {
  skin.WriteText(u"Draw.dat", kFullSkin);
  skin.Write(u"bg.bmp", SolidBmp(240, 160, 0x3060A0));
  for (int state = 0; state < 3; ++state) {
    skin.Write(u"PIC2004" + std::u16string(1, char16_t(u'0' + state)) + u".bmp", SolidBmp(80, 24, 0x208040 + state));
  }
  skin.Write(u"PIC20050.bmp", SolidBmp(3, 3, 0xFF0000));
  skin.Write(u"PIC20060.bmp", SolidBmp(30, 20, 0x00FF00));
}

TEST(SkinGdi, CountSeesObjectsThatAreNotReleased) {
  const uint32_t before = ui::CountGdiObjects();
  ASSERT_GT(before, 0u);
  std::vector<HBRUSH> brushes;
  for (int i = 0; i < 50; ++i) brushes.push_back(CreateSolidBrush(RGB(i, 0, 0)));
  EXPECT_GE(ui::CountGdiObjects(), before + 50);
  for (HBRUSH brush : brushes) DeleteObject(brush);
  EXPECT_EQ(ui::CountGdiObjects(), before);
}

TEST(SkinGdi, TwoHundredPagesShownAndClosedKeepTheCount) {
  SkinFolder skin;
  WriteFullSkin(skin);
  const std::vector<int> items = {2004, 2005, 2006, 2007};
  auto cycle = [&items]() {
    TestPage page;
    if (!OpenPage(&page, u"Page", items, false)) return false;
    page.draw.FindItem(2004)->SetText(u"安装 Install");
    page.draw.FindItem(2004)->SetTooltip(u"tip");
    page.draw.FindItem(2007)->SetStyle(ui::kStyleSizeFromText | ui::kStyleAnyState);
    page.draw.FindItem(2007)->SetText(u"a text link");
    PaintEveryState(&page, items);
    SendMessageW(page.window, WM_SIZE, 0, 0);
    EXPECT_EQ(page.draw.FindItem(2004)->GetRect(), (ui::Rect{20, 100, 100, 124}));  // completed from its bitmap
    EXPECT_GT(page.draw.FindItem(2007)->GetRect().right, 0);                       // sized from its text
    DestroyWindow(page.window);
    Pump();
    return true;
  };
  if (!cycle()) GTEST_SKIP() << "no window can be made here (no display)";
  const uint32_t before = ui::CountGdiObjects();
  for (int i = 0; i < 200; ++i) ASSERT_TRUE(cycle());
  const uint32_t after = ui::CountGdiObjects();
  EXPECT_LE(after, before + 2) << "before " << before << ", after " << after;
}

// ---- hostile skins ----

// A skin of a Draw.dat text (none when null), a plain Page.bmp when page_bmp is set and one more
// file from extra, with the log line it must give.
struct HostileCase {
  const char* name;
  const char* draw_dat;
  bool page_bmp;
  const char16_t* extra_name;
  std::vector<uint8_t> (*extra)();
  const char* log_fragment;
};

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

const HostileCase kHostile[] = {
    {"MissingDrawDat", nullptr, true, nullptr, nullptr, "skin: Draw.dat missing"},
    {"DrawDatOfBinaryNoise", nullptr, false, u"Draw.dat",
     [] {
       std::vector<uint8_t> noise(4096);
       for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7919 >> 3);
       return noise;
     },
     "skin: Draw.dat has no section"},
    {"BitmapClaiming100000By100000Pixels", "[Page]\n[PIC2004]\nleft=5\ntop=5\n", true, u"PIC20040.bmp",
     [] {
       std::vector<uint8_t> huge = SolidBmp(2, 2, 0);
       Put32(&huge, 18, 100000);
       Put32(&huge, 22, 100000);
       return huge;
     },
     "skin: not a usable bitmap"},
    {"TruncatedBitmap", "[Page]\n", false, u"Page.bmp",
     [] {
       std::vector<uint8_t> cut = SolidBmp(300, 200, 0x123456);
       cut.resize(200);
       return cut;
     },
     "skin: "},
    {"AbsurdRectangles",
     "[Page]\nEraseRect1=-99999999999,5,99999999999,6\nStretchRect=99999999,99999999,1,1\n"
     "[PIC2004]\nleft=-2147483648\ntop=-99999999\nright=2147483647\nbottom=99999999999\n"
     "[PIC2004.Text]\nFixRect=99999999,-99999999,99999999,5\n",
     true, u"PIC20040.bmp", [] { return SolidBmp(20, 10, 0x00FF00); }, "skin: an absurd"},
    {"RedirectLoop",
     "[Page]\n[PIC2004]\nChangeLabel=PICB\n[PICB]\nLang0804=PIC2004\nLang0409=PIC2004\nLang0000=PIC2004\n", true,
     nullptr, nullptr, "skin: redirect chain cut"},
    {"FontThatNamesNoInstalledFace", "[Page]\n[PIC2004.Text]\nFont=name:NoSuchFaceAnywhere,size:99999\n", true,
     nullptr, nullptr, "skin: font face not installed"},
    // Entries past the 29th are never read: 29 toggles of the same pixel leave one pixel.
    {"OutlineThatErasesTheWholeWindow", nullptr, true, u"Draw.dat",
     [] {
       std::string text = "[Page]\nEraseRect1=0,0,5000,5000\n";
       for (int i = 1; i <= 40; ++i) text += "LeftTopEraseRect" + std::to_string(i) + "=0,0,1,1\n";
       return Bytes(text);
     },
     "skin: the outline erases the whole window"},
    {"BackgroundLargerThanTheScreen", "[Page]\n", false, u"Page.bmp", [] { return SolidBmp(3000, 2000, 0x406080); },
     "skin: the background is larger than the screen"},
    {"NamesThatLeaveTheSkinFolder", "[Page]\nbackground=..\\..\\outside.bmp\n[PIC2004]\nChangeLabel=..\\..\\x\n", false,
     nullptr, nullptr, "leaves the skin folder"},
};

class HostileSkin : public ::testing::TestWithParam<HostileCase> {};

TEST_P(HostileSkin, PageShowsWithinTheScreenLogsAndCloses) {
  const HostileCase& c = GetParam();
  SkinFolder skin;
  if (c.draw_dat) skin.WriteText(u"Draw.dat", c.draw_dat);
  if (c.page_bmp) skin.Write(u"Page.bmp", SolidBmp(200, 100, 0x808080));
  if (c.extra) skin.Write(c.extra_name, c.extra());
  testing_support::LogTail log;
  TestPage page;
  const std::vector<int> items = {2004, 2005};
  if (!OpenPage(&page, u"Page", items, true)) GTEST_SKIP() << "no window can be made here (no display)";
  page.draw.FindItem(2004)->SetText(u"text");
  PaintEveryState(&page, items);
  // Pointer traffic over the page's corner and centre.
  RECT window_rect;
  ASSERT_TRUE(GetWindowRect(page.window, &window_rect));
  for (POINT p : {POINT{window_rect.left + 1, window_rect.top + 1},
                  POINT{(window_rect.left + window_rect.right) / 2, (window_rect.top + window_rect.bottom) / 2}}) {
    SendMessageW(page.window, WM_NCHITTEST, 0, MAKELPARAM(p.x, p.y));
    SendMessageW(page.window, WM_SETCURSOR, reinterpret_cast<WPARAM>(page.window), HTCLIENT);
  }
  Pump();
  EXPECT_TRUE(IsWindowVisible(page.window));
  EXPECT_LE(window_rect.right - window_rect.left, GetSystemMetrics(SM_CXSCREEN));
  EXPECT_LE(window_rect.bottom - window_rect.top, GetSystemMetrics(SM_CYSCREEN));
  EXPECT_NE(log.Text().find(c.log_fragment), std::string::npos) << log.Text();
  // Escape closes the test page; the system close must also work on any page.
  TestPage second;
  ASSERT_TRUE(OpenPage(&second, u"Page", items, false));
  PostMessageW(page.window, WM_KEYDOWN, VK_ESCAPE, 0);
  SendMessageW(second.window, WM_SYSCOMMAND, SC_CLOSE, 0);
  Pump();
  EXPECT_FALSE(IsWindow(page.window));
  EXPECT_FALSE(IsWindow(second.window));
}

INSTANTIATE_TEST_SUITE_P(Cases, HostileSkin, ::testing::ValuesIn(kHostile),
                         [](const ::testing::TestParamInfo<HostileCase>& param) { return std::string(param.param.name); });

std::vector<LPARAM> EventsOf(const TestPage& page, WPARAM id) {
  std::vector<LPARAM> events;
  for (const auto& [item, event] : page.posted) {
    if (item == id) events.push_back(event);
  }
  return events;
}

LPARAM ScreenPoint(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  return MAKELPARAM(p.x, p.y);
}

TEST(SkinItems, HitTestingHoverPressClickAndTheClickDebounce) {
  SkinFolder skin;
  WriteFullSkin(skin);
  TestPage page;
  if (!OpenPage(&page, u"Page", {2004, 2006}, false)) GTEST_SKIP() << "no window can be made here (no display)";
  PaintEveryState(&page, {});  // completes the rectangles from the bitmaps
  ui::CDrawItem* button = page.draw.FindItem(2004);  // 20,100 - 100,124; bitmaps for states 0 to 2
  ui::CDrawItem* picture = page.draw.FindItem(2006); // 120,20 - 150,40; a bitmap for state 0 only
  const LPARAM on_button = MAKELPARAM(30, 110), on_background = MAKELPARAM(200, 80);

  // The background drags like a caption; an item is client area.
  EXPECT_EQ(SendMessageW(page.window, WM_NCHITTEST, 0, ScreenPoint(page.window, 200, 80)), HTCAPTION);
  EXPECT_EQ(SendMessageW(page.window, WM_NCHITTEST, 0, ScreenPoint(page.window, 130, 30)), HTCLIENT);
  EXPECT_EQ(picture->GetState(), 0);  // no hover bitmap: the state stays
  EXPECT_EQ(SendMessageW(page.window, WM_NCHITTEST, 0, ScreenPoint(page.window, 30, 110)), HTCLIENT);
  EXPECT_EQ(button->GetState(), 1);
  SendMessageW(page.window, WM_MOUSEHOVER, 0, on_button);
  SendMessageW(page.window, WM_LBUTTONDOWN, MK_LBUTTON, on_button);
  EXPECT_EQ(button->GetState(), 2);
  SendMessageW(page.window, WM_LBUTTONUP, 0, on_button);
  EXPECT_EQ(button->GetState(), 1);
  SendMessageW(page.window, WM_LBUTTONUP, 0, on_button);  // a second release within 300 ms
  SendMessageW(page.window, WM_LBUTTONUP, 0, on_background);
  Pump();
  EXPECT_EQ(EventsOf(page, 2004), (std::vector<LPARAM>{ui::kItemHover, ui::kItemPressed, ui::kItemClicked}));
  Sleep(350);
  SendMessageW(page.window, WM_LBUTTONUP, 0, on_button);
  // Leaving the item: back to state 0 and the owed "left" notification.
  SendMessageW(page.window, WM_NCHITTEST, 0, ScreenPoint(page.window, 200, 80));
  EXPECT_EQ(button->GetState(), 0);
  Pump();
  EXPECT_EQ(EventsOf(page, 2004), (std::vector<LPARAM>{ui::kItemHover, ui::kItemPressed, ui::kItemClicked,
                                                       ui::kItemClicked, ui::kItemLeft}));
  // The pointer passed over the picture on its way: a hover was asked for, so a "left" is owed.
  EXPECT_EQ(EventsOf(page, 2006), (std::vector<LPARAM>{ui::kItemLeft}));

  // Inactive states are not hit; style 8 never changes state; static texts paint transparently.
  EXPECT_TRUE(button->SetState(2));
  button->SetStyle(ui::kStyleAnyState);
  EXPECT_TRUE(button->SetState(3));
  EXPECT_EQ(page.draw.HitItem(30, 110), nullptr);
  button->SetStyle(ui::kStyleFixedState);
  EXPECT_FALSE(button->SetState(1));
  EXPECT_EQ(button->GetState(), 0);
  HWND text = CreateWindowExW(0, L"STATIC", L"x", WS_CHILD, 0, 0, 10, 10, page.window, nullptr, nullptr, nullptr);
  HDC dc = GetDC(text);
  EXPECT_EQ(SendMessageW(page.window, WM_CTLCOLORSTATIC, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(text)),
            reinterpret_cast<LRESULT>(GetStockObject(NULL_BRUSH)));
  EXPECT_EQ(GetBkMode(dc), TRANSPARENT);
  ReleaseDC(text, dc);
  DestroyWindow(page.window);
}

TEST(SkinItems, TooltipTextsRegisterWithTheTooltipWindow) {
  SkinFolder skin;
  WriteFullSkin(skin);
  TestPage page;
  if (!OpenPage(&page, u"Page", {2006}, false)) GTEST_SKIP() << "no window can be made here (no display)";
  page.draw.FindItem(2006)->SetTooltip(u"a tip");  // no rectangle yet: registered once painted
  PaintEveryState(&page, {});
  // The tooltip window is an owned popup of the page, of the platform's tooltip class.
  HWND tip = nullptr;
  do {
    tip = FindWindowExW(nullptr, tip, TOOLTIPS_CLASSW, nullptr);
  } while (tip && GetWindow(tip, GW_OWNER) != page.window);
  ASSERT_NE(tip, nullptr);
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 1);
  page.draw.FindItem(2006)->SetTooltip(u"");
  EXPECT_EQ(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0), 0);
  DestroyWindow(page.window);
}

// The skin folder and language: "DrawData\<style>\" beside the program, chosen by
// "StyleName" in norvframe.ini; "LangID" there picks the language redirects.
TEST(SkinFolders, StyleFolderAndLanguageFromNorvframeIni) {
  const std::u16string exe = testing_support::ProgramBeside(u"ui_tests");
  const std::u16string home = exe.substr(0, exe.find_last_of(u'\\') + 1);
  const std::u16string draw_data = home + u"DrawData";
  const std::u16string ini = home + u"norvframe.ini";
  namespace fs = std::filesystem;
  fs::create_directories(testing_support::Native(draw_data + u"\\Red"));
  fs::create_directories(testing_support::Native(draw_data + u"\\Blue"));
  struct Cleanup {
    std::u16string a, b;
    ~Cleanup() {
      std::error_code ec;
      fs::remove_all(testing_support::Native(a), ec);
      fs::remove(testing_support::Native(b), ec);
    }
  } cleanup{draw_data, ini};
  auto write_ini = [&ini](const std::string& text) {
    std::ofstream(testing_support::Native(ini), std::ios::binary) << text;
  };
  app::ClearSkinFolder();
  std::u16string path;
  write_ini("[Main]\r\nStyleName=Red\r\nLangID=1033\r\n");
  ASSERT_TRUE(ui::GetSkinPath(&path, u"Draw.dat"));
  EXPECT_EQ(path, draw_data + u"\\Red\\Draw.dat");
  EXPECT_EQ(ui::GetLangID(), 0x0409);
  ASSERT_TRUE(ui::GetSkinPath(&path, u"x.bmp", u"Blue"));
  EXPECT_EQ(path, draw_data + u"\\Blue\\x.bmp");
  write_ini("[Main]\r\nStyleName=Missing\r\n");
  ASSERT_TRUE(ui::GetSkinPath(&path));
  EXPECT_TRUE(path == draw_data + u"\\Red\\" || path == draw_data + u"\\Blue\\");
  std::u16string names;
  EXPECT_EQ(ui::EnumStyles(&names), 2u);
  ui::SetLangIdOverride(0x0804);
  EXPECT_EQ(ui::GetLangID(), 0x0804);
  ui::SetLangIdOverride(0);

  // LangID 1033: the item follows Lang0409 and its text takes Font_0409.
  write_ini("[Main]\r\nStyleName=Red\r\nLangID=1033\r\n");
  std::ofstream(testing_support::Native(draw_data + u"\\Red\\Draw.dat"), std::ios::binary)
      << "[Page]\n[PIC2004]\nleft=1\nLang0409=PIC2004EN\nLang0804=PIC2004ZH\n[PIC2004EN]\nleft=2\n[PIC2004ZH]\nleft=3\n";
  TestPage page;
  if (!OpenPage(&page, u"Page", {2004}, false)) GTEST_SKIP() << "no window can be made here (no display)";
  EXPECT_EQ(page.draw.FindItem(2004)->Section(), u"PIC2004EN");
  EXPECT_EQ(page.draw.FindItem(2004)->GetRect().left, 2);
  DestroyWindow(page.window);
  Pump();
}

}  // namespace
