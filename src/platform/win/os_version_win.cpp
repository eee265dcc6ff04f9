#include <windows.h>

#include "platform/os_version.h"

namespace platform {

// The project builds only for 64-bit Windows.
static_assert(sizeof(void*) == 8, "the Windows build is 64-bit only");
bool IsRunningUnder64BitWindows() { return true; }

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
