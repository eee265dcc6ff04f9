// Stand-in for an in-process COM server of the suite. DllRegisterServer writes the class entry
// HKCR "CLSID\{kClassId}" with its "InprocServer32" (this DLL's path); DllUnregisterServer
// removes it. UnInstall, the compose uninstall entry point, returns 1: it asks for a restart.
#include <windows.h>

#include <string>

#include "platform/registry.h"
#include "platform/win/wstr.h"

namespace {

constexpr char16_t kClassKey[] = u"CLSID\\{6E6F7276-0001-4C00-8000-000000C0FFEE}";
HMODULE g_module = nullptr;

std::u16string ModulePath() {
  wchar_t path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(g_module, path, MAX_PATH);
  return std::u16string(platform::as_u16cstr(path), length);
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) g_module = instance;
  return TRUE;
}

extern "C" HRESULT __stdcall DllRegisterServer() {
  platform::RegKey server;
  const std::u16string key = std::u16string(kClassKey) + u"\\InprocServer32";
  if (platform::RegKey::Create(platform::RegRoot::kClassesRoot, key, platform::RegAccess::kReadWrite, &server) !=
      platform::kRegOk) {
    return E_ACCESSDENIED;
  }
  if (server.WriteString(u"", ModulePath()) != platform::kRegOk) return E_FAIL;
  return server.WriteString(u"ThreadingModel", u"Apartment") == platform::kRegOk ? S_OK : E_FAIL;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  const uint32_t rc = platform::DeleteKeyTree(platform::RegRoot::kClassesRoot, kClassKey);
  return rc == platform::kRegOk || rc == platform::kRegNotFound ? S_OK : E_FAIL;
}

extern "C" int __stdcall UnInstall() { return 1; }
