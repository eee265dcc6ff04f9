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
  // Fails (ERROR_CALL_NOT_IMPLEMENTED) on a system without 32-bit support, which has no
  // other place for such files than the system folder.
  if (QueryFolder([](wchar_t* b, UINT n) { return GetSystemWow64DirectoryW(b, n); }, folder)) return true;
  return GetSystemFolder(folder);
}

// A 64-bit process always runs under 64-bit Windows and is never redirected.
bool GetSystemDirectoryFor64(std::u16string* folder) { return GetSystemFolder(folder); }

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
