#pragma once
// What the planted files do when Windows runs them: leave "<their file name>.<what>" in the
// folder that NORV_PLANTED_MARKS names, so that a test sees they were loaded or started.
#include <windows.h>

inline void LeaveMark(HMODULE module, const wchar_t* what) {
  wchar_t folder[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"NORV_PLANTED_MARKS", folder, MAX_PATH)) return;
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(module, path, MAX_PATH);
  const wchar_t* name = wcsrchr(path, L'\\');
  wchar_t mark[2 * MAX_PATH] = {};
  wsprintfW(mark, L"%s\\%s.%s", folder, name ? name + 1 : path, what);
  HANDLE file = CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}
