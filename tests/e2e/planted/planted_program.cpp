// A program planted beside a setup file under the name of a system program ("regsvr32.exe",
// "rundll32.exe"): when started, it leaves "<its file name>.started" in NORV_PLANTED_MARKS.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
  wchar_t folder[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"NORV_PLANTED_MARKS", folder, MAX_PATH)) return 0;
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  const wchar_t* name = wcsrchr(path, L'\\');
  wchar_t mark[2 * MAX_PATH] = {};
  wsprintfW(mark, L"%s\\%s.started", folder, name ? name + 1 : path);
  HANDLE file = CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
  return 0;
}
