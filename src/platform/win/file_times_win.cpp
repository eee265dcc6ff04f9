#include <windows.h>

#include <string>

#include "platform/file_times.h"
#include "platform/win/unique_handles.h"
#include "platform/win/wstr.h"

namespace platform {
namespace {
// FILETIME counts 100-nanosecond intervals since 1601-01-01.
constexpr int64_t kUnixEpochInFileTimeSeconds = 11644473600LL;
constexpr int64_t kFileTimeTicksPerSecond = 10000000LL;

FILETIME ToFileTime(int64_t unix_seconds) {
  const uint64_t ticks = static_cast<uint64_t>((unix_seconds + kUnixEpochInFileTimeSeconds) * kFileTimeTicksPerSecond);
  FILETIME ft;
  ft.dwLowDateTime = static_cast<DWORD>(ticks);
  ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return ft;
}

int64_t ToUnixSeconds(const FILETIME& ft) {
  const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(ticks / kFileTimeTicksPerSecond) - kUnixEpochInFileTimeSeconds;
}

UniqueHandle OpenForAttributes(std::u16string_view path, DWORD access) {
  const std::u16string p(path);
  return UniqueHandle(CreateFileW(as_wcstr(p), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}
}  // namespace

bool SetFileTimes(std::u16string_view path, int64_t modified, int64_t accessed) {
  UniqueHandle file = OpenForAttributes(path, FILE_WRITE_ATTRIBUTES);
  if (!file) return false;
  const FILETIME write_time = ToFileTime(modified);
  const FILETIME access_time = ToFileTime(accessed);
  return SetFileTime(file.get(), nullptr, &access_time, &write_time) != FALSE;
}

bool GetFileTimes(std::u16string_view path, int64_t* modified, int64_t* accessed) {
  UniqueHandle file = OpenForAttributes(path, FILE_READ_ATTRIBUTES);
  if (!file) return false;
  FILETIME access_time, write_time;
  if (!GetFileTime(file.get(), nullptr, &access_time, &write_time)) return false;
  *modified = ToUnixSeconds(write_time);
  *accessed = ToUnixSeconds(access_time);
  return true;
}

}  // namespace platform
