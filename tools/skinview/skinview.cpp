// skinview.exe: shows one page section of a skin folder as the wizard would, and reports the
// messages its items post. See kUsage for the command line; it is a stable interface that the
// visual tests rely on.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <map>
#include <string>
#include <vector>

#include "app/wizard_state.h"
#include "base/strings.h"
#include "base/version.h"
#include "platform/win/unique_handles.h"
#include "ui/draw_wnd_win.h"
#include "ui/skin_folder.h"

namespace {

const wchar_t kUsage[] =
    L"usage: skinview.exe SKIN_DIR SECTION [options]\n"
    L"       skinview.exe --version\n"
    L"  Shows page section SECTION of the skin folder SKIN_DIR (its Draw.dat and bitmaps) in a\n"
    L"  borderless window, as the wizard would, and prints one line per message its items post:\n"
    L"    posted item=ID event=click|hover|leave|press\n"
    L"  to stdout and to the log file, flushed at once. Escape (or the system close) closes it.\n"
    L"  Before the first of those lines it prints\n"
    L"    shown section=SECTION x=X y=Y width=W height=H\n"
    L"  with the window's place on the screen once it is shown and painted.\n"
    L"options:\n"
    L"  --lang HEX      language identifier for Lang%04x / Font_%04X keys (e.g. 0409, 0804)\n"
    L"  --log FILE      also append the lines to FILE\n"
    L"  --x N --y N     put the window's top-left corner at screen point N,N (default: centred)\n"
    L"  --items LIST    item identifiers to add, comma-separated (default: the wizard's items\n"
    L"                  of that page: WelcomeDlg 2004,2003,2002,2005,2006; LicenseDlg\n"
    L"                  2005,2006,2010; FolderDlg 2005,2006,2001,2010,2011,2012; CopyDlg\n"
    L"                  2005,2006,2013; DownDlg 2005,2006; FinishDlg 2006,2007,2014,2015)\n"
    L"  --text ID=TEXT  the item's text (repeatable; defaults give the welcome page's links)\n"
    L"  --style ID=N    the item's style bits (repeatable)\n"
    L"  --state ID=N    the item's first state (repeatable)\n"
    L"  --tooltip ID=TEXT  a tooltip for the item (repeatable)\n"
    L"  --cycle N       instead of waiting: build the page in a hidden window, paint it in every\n"
    L"                  item state and close it, N times, then print\n"
    L"                    gdi before=B after=A cycles=N\n"
    L"                  (the process's GDI object count after one warm-up cycle and at the end)\n"
    L"events: click = left button released over the item (at most one per 300 ms), hover = the\n"
    L"  pointer rests on it, leave = it left after a hover, press = left button down over it\n"
    L"exit code: 0 after the window closed, 2 for a bad command line, 1 if no window could be made\n";

struct Options {
  std::u16string skin_dir, section;
  uint16_t lang = 0;
  std::wstring log_path;
  bool has_x = false, has_y = false;
  int x = 0, y = 0;
  bool has_items = false;
  std::vector<int> items;
  std::map<int, std::u16string> texts, tooltips;
  std::map<int, uint32_t> styles;
  std::map<int, int> states;
  int cycles = 0;
};

Options g_options;
FILE* g_log = nullptr;
const wchar_t kClassName[] = L"NorvSkinView";

std::u16string U(const wchar_t* s) { return std::u16string(reinterpret_cast<const char16_t*>(s)); }

void Report(const std::string& line) {
  std::fputs(line.c_str(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
  if (g_log) {
    std::fputs(line.c_str(), g_log);
    std::fputc('\n', g_log);
    std::fflush(g_log);
  }
}

bool ParseInt(const wchar_t* text, int base, long* out) {
  if (!text || !*text) return false;
  wchar_t* end = nullptr;
  *out = std::wcstol(text, &end, base);
  return end && *end == 0;
}

// "ID=VALUE" pairs.
bool SplitPair(const wchar_t* text, int* id, std::wstring* value) {
  const wchar_t* eq = text ? std::wcschr(text, L'=') : nullptr;
  if (!eq) return false;
  long n = 0;
  if (!ParseInt(std::wstring(text, eq).c_str(), 10, &n)) return false;
  *id = static_cast<int>(n);
  *value = eq + 1;
  return true;
}

bool ParseOptions(int argc, wchar_t** argv, Options* o) {
  if (argc < 3) return false;
  o->skin_dir = U(argv[1]);
  if (!o->skin_dir.empty() && o->skin_dir.back() != u'\\' && o->skin_dir.back() != u'/') o->skin_dir += u'\\';
  o->section = U(argv[2]);
  for (int i = 3; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const wchar_t* value = i + 1 < argc ? argv[i + 1] : nullptr;
    long n = 0;
    int id = 0;
    std::wstring text;
    if (arg == L"--lang" && ParseInt(value, 16, &n) && n > 0 && n <= 0xFFFF) {
      o->lang = static_cast<uint16_t>(n);
    } else if (arg == L"--log" && value) {
      o->log_path = value;
    } else if (arg == L"--x" && ParseInt(value, 10, &n)) {
      o->x = static_cast<int>(n);
      o->has_x = true;
    } else if (arg == L"--y" && ParseInt(value, 10, &n)) {
      o->y = static_cast<int>(n);
      o->has_y = true;
    } else if (arg == L"--cycle" && ParseInt(value, 10, &n) && n > 0 && n <= 100000) {
      o->cycles = static_cast<int>(n);
    } else if (arg == L"--items" && value) {
      o->has_items = true;
      o->items.clear();
      const std::u16string list = U(value);  // the items below are views into it
      for (std::u16string_view item : base::SplitList(list)) {
        o->items.push_back(static_cast<int>(base::ParseSaturatedInt32(item, [](char16_t c) { return c == u' '; })));
      }
    } else if (arg == L"--text" && SplitPair(value, &id, &text)) {
      o->texts[id] = U(text.c_str());
    } else if (arg == L"--tooltip" && SplitPair(value, &id, &text)) {
      o->tooltips[id] = U(text.c_str());
    } else if (arg == L"--style" && SplitPair(value, &id, &text) && ParseInt(text.c_str(), 10, &n)) {
      o->styles[id] = static_cast<uint32_t>(n);
    } else if (arg == L"--state" && SplitPair(value, &id, &text) && ParseInt(text.c_str(), 10, &n)) {
      o->states[id] = static_cast<int>(n);
    } else {
      return false;
    }
    ++i;
  }
  return true;
}

// The items the wizard's page adds for its section (Parts 5.2 to 5.4), with their first state,
// style and text.
void DefaultItems(const std::u16string& section, Options* o) {
  struct Page {
    const char16_t* section;
    std::vector<int> items;
  } pages[] = {{u"WelcomeDlg", {2004, 2003, 2002, 2005, 2006}}, {u"LicenseDlg", {2005, 2006, 2010}},
               {u"FolderDlg", {2005, 2006, 2001, 2010, 2011, 2012}}, {u"CopyDlg", {2005, 2006, 2013}},
               {u"DownDlg", {2005, 2006}}, {u"FinishDlg", {2006, 2007, 2014, 2015}}};
  for (const Page& page : pages) {
    if (!base::EqualsIgnoreAsciiCase(section, page.section)) continue;
    if (!o->has_items) o->items = page.items;
  }
  auto set_default = [](auto& map, int id, auto value) { map.emplace(id, value); };
  if (base::EqualsIgnoreAsciiCase(section, u"WelcomeDlg")) {
    set_default(o->texts, 2003, std::u16string(u"Varkel使用许可协议"));
    set_default(o->texts, 2002, std::u16string(u"自定义安装"));
    set_default(o->styles, 2003, 21u);
    set_default(o->styles, 2002, 21u);
  }
  if (base::EqualsIgnoreAsciiCase(section, u"FolderDlg")) set_default(o->states, 2012, 4);
  if (base::EqualsIgnoreAsciiCase(section, u"FinishDlg")) {
    set_default(o->states, 2014, 4);
    set_default(o->states, 2015, 4);
  }
}

struct Page {
  ui::CDrawWnd draw;
};

const char* EventName(LPARAM event) {
  switch (event) {
    case ui::kItemClicked: return "click";
    case ui::kItemHover: return "hover";
    case ui::kItemLeft: return "leave";
    case ui::kItemPressed: return "press";
    default: return "unknown";
  }
}

LRESULT CALLBACK PageProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* page = reinterpret_cast<Page*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  switch (message) {
    case WM_CREATE: {
      page = static_cast<Page*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
      SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(page));
      page->draw.Attach(window, g_options.section, true, true);
      page->draw.ResizeToBackground();
      for (int id : g_options.items) {
        ui::CDrawItem* item = page->draw.AddItem(id);
        auto style = g_options.styles.find(id);
        if (style != g_options.styles.end()) item->SetStyle(style->second);
        auto text = g_options.texts.find(id);
        if (text != g_options.texts.end()) item->SetText(text->second);
        auto tip = g_options.tooltips.find(id);
        if (tip != g_options.tooltips.end()) item->SetTooltip(tip->second);
        auto state = g_options.states.find(id);
        if (state != g_options.states.end()) item->SetState(state->second);
      }
      return 0;
    }
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) {
        DestroyWindow(window);
        return 0;
      }
      break;
    case ui::WM_ITEMNOTIFY:
      if (g_options.cycles == 0) {
        char line[96];
        std::snprintf(line, sizeof line, "posted item=%d event=%s", static_cast<int>(wparam), EventName(lparam));
        Report(line);
      }
      return 0;
    case WM_DESTROY:
      if (g_options.cycles == 0) PostQuitMessage(0);
      break;
    default:
      break;
  }
  if (page) {
    LRESULT result = 0;
    if (page->draw.ProcessWindowMessage(window, message, wparam, lparam, &result)) return result;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

// Creates the page window at its place; shown unless hidden is set.
HWND CreatePage(Page* page, bool hidden = false) {
  HWND window = CreateWindowExW(WS_EX_APPWINDOW, kClassName, reinterpret_cast<const wchar_t*>(g_options.section.c_str()),
                                WS_POPUP | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN, 0, 0, 400, 300, nullptr,
                                nullptr, GetModuleHandleW(nullptr), page);
  if (!window) return nullptr;
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left, height = r.bottom - r.top;
  int x = g_options.x, y = g_options.y;
  if (!g_options.has_x) x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
  if (!g_options.has_y) y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!hidden) {
    ShowWindow(window, SW_SHOW);
    UpdateWindow(window);
  }
  return window;
}

void PumpPending() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
}

int RunCycles() {
  // Each cycle builds the whole page (skin, outline, items, fonts, tooltip), paints it in
  // every item state the skin has bitmaps for, and destroys it. The window stays hidden: showing
  // and hiding a window under Wine waits on the X server for about two seconds, and the GDI work
  // is the same either way (the paints are driven by hand).
  auto one = []() {
    Page page;
    HWND window = CreatePage(&page, true);
    if (!window) return false;
    {
      platform::WindowDc screen(window);
      platform::UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
      platform::UniqueBitmap canvas(CreateCompatibleBitmap(screen.get(), 64, 64));
      platform::SelectedObject selected(memory.get(), canvas.get());
      for (int state = 0; state < ui::kStateCount; ++state) {
        for (int id : g_options.items) {
          if (ui::CDrawItem* item = page.draw.FindItem(id)) item->SetState(state);
        }
        SendMessageW(window, WM_ERASEBKGND, reinterpret_cast<WPARAM>(memory.get()), 0);
        InvalidateRect(window, nullptr, FALSE);
        SendMessageW(window, WM_PAINT, 0, 0);
        SendMessageW(window, WM_SIZE, 0, 0);
      }
    }
    PumpPending();
    DestroyWindow(window);
    PumpPending();
    return true;
  };
  if (!one()) return 1;
  const uint32_t before = ui::CountGdiObjects();
  for (int i = 0; i < g_options.cycles; ++i) {
    if (!one()) return 1;
  }
  const uint32_t after = ui::CountGdiObjects();
  char line[96];
  std::snprintf(line, sizeof line, "gdi before=%u after=%u cycles=%d", before, after, g_options.cycles);
  Report(line);
  return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc == 2 && std::wcscmp(argv[1], L"--version") == 0) return base::PrintProgramVersion("skinview");
  if (!ParseOptions(argc, argv, &g_options)) {
    std::fputws(kUsage, stderr);
    return 2;
  }
  DefaultItems(g_options.section, &g_options);
  if (!g_options.log_path.empty()) g_log = _wfopen(g_options.log_path.c_str(), L"a");
  app::SetSkinFolder(g_options.skin_dir);
  if (g_options.lang) ui::SetLangIdOverride(g_options.lang);

  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  wc.style = CS_DBLCLKS | CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = PageProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = kClassName;
  if (!RegisterClassExW(&wc)) return 1;

  int code = 0;
  if (g_options.cycles > 0) {
    code = RunCycles();
  } else {
    Page page;
    HWND window = CreatePage(&page);
    if (!window) return 1;
    SetForegroundWindow(window);
    SetFocus(window);
    RECT r;
    GetWindowRect(window, &r);
    char line[200];
    std::snprintf(line, sizeof line, "shown section=%s x=%ld y=%ld width=%ld height=%ld",
                  base::Utf16ToUtf8(g_options.section).c_str(), r.left, r.top, r.right - r.left, r.bottom - r.top);
    Report(line);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
  }
  if (g_log) std::fclose(g_log);
  return code;
}
