// Helper of the visual tests: does to another program's window what a person or the wizard
// would, from inside the same Wine prefix and display, where X tools cannot (Wine owns the
// geometry of its undecorated windows and ignores an X client's resize).
//   win_tool.exe resize CLASS WIDTH HEIGHT   resizes the first top-level window of that class
// Exit code 0 when done, 1 when no such window exists, 2 for a bad command line.
#include <windows.h>

#include <cwchar>

int wmain(int argc, wchar_t** argv) {
  if (argc < 3) return 2;
  HWND window = FindWindowW(argv[2], nullptr);
  if (!window) return 1;
  if (std::wcscmp(argv[1], L"resize") == 0 && argc == 5) {
    const int width = _wtoi(argv[3]), height = _wtoi(argv[4]);
    return SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
  }
  return 2;
}
