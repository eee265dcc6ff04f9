#include <windows.h>

#include "platform/os_version.h"

namespace platform {
namespace {

#if !defined(_WIN64)
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

// Looked up by name once: systems before XP SP2 lack the export.
IsWow64ProcessFn IsWow64ProcessEntry() {
  static const IsWow64ProcessFn entry = [] {
    HMODULE kernel = GetModuleHandleW(L"kernel32");
    return kernel ? reinterpret_cast<IsWow64ProcessFn>(reinterpret_cast<void*>(GetProcAddress(kernel, "IsWow64Process")))
                  : nullptr;
  }();
  return entry;
}
#endif

}  // namespace

bool IsRunningUnder64BitWindows() {
#if defined(_WIN64)
  return true;
#else
  IsWow64ProcessFn is_wow64 = IsWow64ProcessEntry();
  BOOL wow64 = FALSE;
  return is_wow64 && is_wow64(GetCurrentProcess(), &wow64) && wow64;
#endif
}

bool QueryOsVersion(OsVersionFacts* facts) {
  if (!facts) return false;
  // GetVersionExW is deprecated in newer SDKs and answers with the manifested version, which is
  // what the masks in descriptions were written against.
  OSVERSIONINFOEXW info = {};
  info.dwOSVersionInfoSize = sizeof(info);
#if defined(__GNUC__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
#endif
  BOOL ok = GetVersionExW(reinterpret_cast<OSVERSIONINFOW*>(&info));
#if defined(__GNUC__)
#pragma GCC diagnostic pop
#endif
  facts->is_64bit_windows = IsRunningUnder64BitWindows();
  if (!ok) return false;
  facts->platform_id = info.dwPlatformId;
  facts->major = info.dwMajorVersion;
  facts->minor = info.dwMinorVersion;
  facts->service_pack_major = info.wServicePackMajor;
  return true;
}

}  // namespace platform
