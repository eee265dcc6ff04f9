// GetLangID: the user's interface language is a Windows question.
#include <windows.h>

#include "ui/skin_folder.h"

namespace ui {

uint16_t GetLangID() {
  if (LangIdOverride() != 0) return LangIdOverride();
  const uint16_t from_ini = FrameIniLangId();
  if (from_ini != 0) return from_ini;
  // GetUserDefaultUILanguage is looked up at run time: systems before Windows 2000 lack it.
  using UiLanguageFunction = LANGID(WINAPI*)();
  HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
  FARPROC proc = kernel ? GetProcAddress(kernel, "GetUserDefaultUILanguage") : nullptr;
  if (proc) return reinterpret_cast<UiLanguageFunction>(reinterpret_cast<void*>(proc))();
  return GetUserDefaultLangID();
}

}  // namespace ui
