// Stand-in for the suite's main program "NorvFrame.exe". Run plainly, it keeps its own file open
// (shared for reading only), so that replacing it meets a file in use, and shows a window when
// there is a display. Run as "<path> <file name> -close", it is the closer of the handshake: it
// asks the running instance to close, waits for it to exit, then signals the event named after
// <file name>. The running instance adds the global atom of its file name before it exits, so
// the installer finds the atom once the event is set. The request and the exit travel through
// a private event and mutex, which work without a display too.
#include <windows.h>

#include <string>

#include "base/path.h"
#include "platform/system.h"
#include "platform/win/unique_handles.h"
#include "standin_marks.h"

namespace {

constexpr wchar_t kWindowClass[] = L"NorvFrameStandIn";
constexpr wchar_t kCloseRequestEvent[] = L"NorvFrameStandIn.CloseRequest";
constexpr wchar_t kRunningMutex[] = L"NorvFrameStandIn.Running";  // abandoned when the instance exits
constexpr DWORD kExitWaitMs = 8000;  // within the installer's 10 s wait for the event

std::u16string OwnFileName() { return std::u16string(base::FileNamePart(platform::ModuleFilePath())); }

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

int CloseRunningInstance(const std::u16string& event_name) {
  platform::UniqueHandle running(OpenMutexW(SYNCHRONIZE, FALSE, kRunningMutex));
  platform::UniqueHandle request(OpenEventW(EVENT_MODIFY_STATE, FALSE, kCloseRequestEvent));
  if (running && request) {
    SetEvent(request.get());
    WaitForSingleObject(running.get(), kExitWaitMs);
  }
  // Signalled even when nothing ran: the installer then finds no atom and does not restart it.
  platform::UniqueHandle event(OpenEventW(EVENT_MODIFY_STATE, FALSE, platform::as_wcstr(event_name)));
  if (event) SetEvent(event.get());
  return running ? 0 : 1;
}

HWND CreateMainWindow(int show) {
  WNDCLASSW window_class = {};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = GetModuleHandleW(nullptr);
  window_class.lpszClassName = kWindowClass;
  if (!RegisterClassW(&window_class)) return nullptr;
  HWND window = CreateWindowW(kWindowClass, L"NorvFrame", WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT, 320,
                              200, nullptr, nullptr, window_class.hInstance, nullptr);
  if (window) ShowWindow(window, show);
  return window;
}

int Run(int show) {
  platform::UniqueHandle own_file(CreateFileW(platform::as_wcstr(platform::ModuleFilePath()), GENERIC_READ,
                                              FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
  platform::UniqueHandle running(CreateMutexW(nullptr, TRUE, kRunningMutex));
  platform::UniqueHandle request(CreateEventW(nullptr, TRUE, FALSE, kCloseRequestEvent));
  if (!running || !request) return 2;
  HWND window = CreateMainWindow(show);
  standins::SetMark(OwnFileName() + u".Pid", base::UnsignedToUtf16(GetCurrentProcessId()));
  HANDLE waits[] = {request.get()};
  for (;;) {
    if (MsgWaitForMultipleObjects(1, waits, FALSE, INFINITE, QS_ALLINPUT) == WAIT_OBJECT_0) break;
    MSG message;
    bool quit = false;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      if (message.message == WM_QUIT) quit = true;
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (quit) break;
  }
  standins::RemoveMark(OwnFileName() + u".Pid");
  GlobalAddAtomW(platform::as_wcstr(OwnFileName()));
  if (window) DestroyWindow(window);
  // The mutex is left to be abandoned at exit: the closer wakes only once this process is gone.
  ExitProcess(0);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  const std::u16string command_line = standins::CommandLine();
  if (standins::HasSwitch(command_line.c_str(), u"-close")) {
    const std::u16string event_name = standins::WordBefore(command_line, u"-close");
    return CloseRunningInstance(event_name.empty() ? OwnFileName() : event_name);
  }
  return Run(show);
}
