#include <windows.h>

#include <vector>

#include "platform/system_folders.h"
#include "platform/win/wstr.h"

namespace platform {
namespace {

// Calls a folder query of the GetSystemDirectoryW kind, growing the buffer when MAX_PATH is
// not enough.
template <typename Query>
bool QueryFolder(Query query, std::u16string* folder) {
  folder->clear();
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const UINT length = query(buffer.data(), static_cast<UINT>(buffer.size()));
    if (length == 0) return false;
    if (length < buffer.size()) {
      folder->assign(as_u16cstr(buffer.data()), length);
      return true;
    }
    buffer.resize(static_cast<size_t>(length) + 1);
  }
  return false;
}

}  // namespace

bool GetSystemFolder(std::u16string* folder) {
  return QueryFolder([](wchar_t* b, UINT n) { return GetSystemDirectoryW(b, n); }, folder);
}

bool GetSystemFolderFor32BitFiles(std::u16string* folder) {
#if defined(_WIN64)
  // Fails (ERROR_CALL_NOT_IMPLEMENTED) on a system without 32-bit support, which has no
  // other place for such files than the system folder.
  if (QueryFolder([](wchar_t* b, UINT n) { return GetSystemWow64DirectoryW(b, n); }, folder)) return true;
#endif
  return GetSystemFolder(folder);
}

bool GetSystemDirectoryFor64(std::u16string* folder) {
  folder->clear();
#if defined(_WIN64)
  // A 64-bit process always runs under 64-bit Windows and is never redirected.
  return GetSystemFolder(folder);
#else
  using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);
  using DisableFn = BOOL(WINAPI*)(PVOID*);
  using RevertFn = BOOL(WINAPI*)(PVOID);
  HMODULE kernel = GetModuleHandleW(L"kernel32");
  if (!kernel) return false;
  auto is_wow64 = reinterpret_cast<IsWow64ProcessFn>(GetProcAddress(kernel, "IsWow64Process"));
  auto disable = reinterpret_cast<DisableFn>(GetProcAddress(kernel, "Wow64DisableWow64FsRedirection"));
  auto revert = reinterpret_cast<RevertFn>(GetProcAddress(kernel, "Wow64RevertWow64FsRedirection"));
  BOOL wow64 = FALSE;
  if (!is_wow64 || !disable || !revert || !is_wow64(GetCurrentProcess(), &wow64) || !wow64) return false;
  PVOID old = nullptr;
  disable(&old);
  GetSystemFolder(folder);
  revert(old);
  return true;
#endif
}

bool ExpandEnvironment(std::u16string_view text, std::u16string* expanded) {
  expanded->clear();
  const std::u16string source(text);
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (int attempt = 0; attempt < 2; ++attempt) {
    // The count includes the terminating zero.
    const DWORD needed = ExpandEnvironmentStringsW(as_wcstr(source), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (needed == 0) return false;
    if (needed <= buffer.size()) {
      expanded->assign(as_u16cstr(buffer.data()));
      return true;
    }
    buffer.resize(needed);
  }
  return false;
}

}  // namespace platform
