// Helper of the visual tests: shows a borderless window at (0,0) with one line per face name,
// each line drawing the same text in a font of that face, created the way the skin engine
// creates its fonts (character set 0, so the face must be found by name or by the prefix's font
// settings, not by a Chinese character set). A test screenshots it twice with two different
// strings: with real glyphs the lines differ, with boxes ("tofu") they do not.
//   font_probe.exe TEXT FACE...        Escape or a click closes it
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace {

constexpr int kLineHeight = 40;
constexpr int kWidth = 480;

std::wstring g_text;
std::vector<std::wstring> g_faces;

void Paint(HWND window) {
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT client;
  GetClientRect(window, &client);
  FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(0, 0, 0));
  for (size_t i = 0; i < g_faces.size(); ++i) {
    LOGFONTW spec = {};
    spec.lfHeight = -24;
    spec.lfWeight = FW_NORMAL;
    spec.lfCharSet = ANSI_CHARSET;
    spec.lfPitchAndFamily = 1;
    lstrcpynW(spec.lfFaceName, g_faces[i].c_str(), LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&spec);
    HGDIOBJ old = SelectObject(dc, font);
    RECT line = {8, static_cast<LONG>(i) * kLineHeight, kWidth, static_cast<LONG>(i + 1) * kLineHeight};
    DrawTextW(dc, g_text.c_str(), -1, &line, DT_LEFT | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    SelectObject(dc, old);
    DeleteObject(font);
  }
  EndPaint(window, &ps);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_PAINT:
      Paint(window);
      return 0;
    case WM_KEYDOWN:
      if (wparam == VK_ESCAPE) DestroyWindow(window);
      return 0;
    case WM_LBUTTONUP:
      DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (!argv || argc < 3) return 2;
  g_text = argv[1];
  for (int i = 2; i < argc; ++i) g_faces.emplace_back(argv[i]);
  LocalFree(argv);

  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  window_class.lpszClassName = L"NorvFontProbe";
  if (!RegisterClassW(&window_class)) return 1;
  HWND window = CreateWindowExW(0, window_class.lpszClassName, L"font probe", WS_POPUP | WS_VISIBLE, 0, 0, kWidth,
                                static_cast<int>(g_faces.size()) * kLineHeight, nullptr, nullptr, instance, nullptr);
  if (!window) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}
