// A DLL planted beside a setup file under the name of a DLL that programs load by name: when any
// process loads it, it leaves "<its file name>.loaded" in the folder NORV_PLANTED_MARKS names.
#include <windows.h>

namespace {

void LeaveMark(HMODULE self) {
  wchar_t folder[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(L"NORV_PLANTED_MARKS", folder, MAX_PATH)) return;
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(self, path, MAX_PATH);
  const wchar_t* name = wcsrchr(path, L'\\');
  wchar_t mark[2 * MAX_PATH] = {};
  wsprintfW(mark, L"%s\\%s.loaded", folder, name ? name + 1 : path);
  HANDLE file = CreateFileW(mark, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) LeaveMark(instance);
  return TRUE;
}

// Stands in for the one function a program could import from netapi32.dll, so that a program
// importing it would load this copy and start.
extern "C" __declspec(dllexport) UCHAR APIENTRY Netbios(PNCB) { return NRC_ENVNOTDEF; }
