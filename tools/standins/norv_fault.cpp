// A DLL whose entry points fault: each writes through a null pointer (an access violation), so
// tests can prove that the installer survives a component that crashes when called.
#include <windows.h>

namespace {
int* volatile g_nowhere = nullptr;
}

extern "C" HRESULT __stdcall DllRegisterServer() {
  *g_nowhere = 1;
  return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
  *g_nowhere = 2;
  return S_OK;
}

extern "C" int __stdcall UnInstall() {
  *g_nowhere = 3;
  return 0;
}
