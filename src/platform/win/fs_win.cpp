#include <windows.h>

#include "platform/fs.h"
#include "platform/win/security.h"
#include "platform/win/unique_handles.h"
#include "platform/win/wstr.h"

namespace platform {
namespace {
std::u16string Terminated(std::u16string_view s) { return std::u16string(s); }
HANDLE AsHandle(intptr_t h) { return reinterpret_cast<HANDLE>(h); }
}  // namespace

void File::HandleTraits::Close(Handle h) { CloseHandle(AsHandle(h)); }

File File::Open(std::u16string_view path, FileAccess access, FileDisposition disposition, FileShare share,
                FileSecurity security) {
  const std::u16string p = Terminated(path);
  DWORD desired = access == FileAccess::kRead ? GENERIC_READ : (GENERIC_READ | GENERIC_WRITE);
  // Append data without write data is the platform's atomic append.
  if (access == FileAccess::kAppend) desired = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;
  DWORD share_mode = share == FileShare::kRead ? FILE_SHARE_READ : (FILE_SHARE_READ | FILE_SHARE_WRITE);
  DWORD create = OPEN_EXISTING;
  if (disposition == FileDisposition::kOpenAlways) create = OPEN_ALWAYS;
  if (disposition == FileDisposition::kCreateAlways) create = CREATE_ALWAYS;
  HANDLE h = CreateFileW(as_wcstr(p), desired, share_mode,
                         access == FileAccess::kRead || security == FileSecurity::kDefault
                             ? nullptr
                             : ProcessSecurityAttributes(),
                         create,
                         FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == INVALID_HANDLE_VALUE) return File();
  return File(reinterpret_cast<intptr_t>(h));
}

bool File::Read(void* buffer, size_t size, size_t* done) {
  *done = 0;
  if (!IsOpen()) return false;
  char* out = static_cast<char*>(buffer);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_.get()), out, chunk, &got, nullptr)) return false;
    if (got == 0) break;
    *done += got;
    out += got;
    size -= got;
  }
  return true;
}

bool File::ReadExact(void* buffer, size_t size) {
  size_t done = 0;
  return Read(buffer, size, &done) && done == size;
}

bool File::Write(const void* data, size_t size) {
  if (!IsOpen()) return false;
  const char* in = static_cast<const char*>(data);
  while (size > 0) {
    const DWORD chunk = size > 0x40000000 ? 0x40000000 : static_cast<DWORD>(size);
    DWORD written = 0;
    if (!WriteFile(AsHandle(handle_.get()), in, chunk, &written, nullptr) || written == 0) return false;
    in += written;
    size -= written;
  }
  return true;
}

bool File::SeekTo(uint64_t position) {
  LARGE_INTEGER to;
  to.QuadPart = static_cast<LONGLONG>(position);
  return IsOpen() && SetFilePointerEx(AsHandle(handle_.get()), to, nullptr, FILE_BEGIN);
}

bool File::SeekToEnd() {
  LARGE_INTEGER zero = {};
  return IsOpen() && SetFilePointerEx(AsHandle(handle_.get()), zero, nullptr, FILE_END);
}

bool File::TruncateHere() { return IsOpen() && SetEndOfFile(AsHandle(handle_.get())); }

bool File::Size(uint64_t* size) const {
  LARGE_INTEGER s;
  if (!IsOpen() || !GetFileSizeEx(AsHandle(handle_.get()), &s)) return false;
  *size = static_cast<uint64_t>(s.QuadPart);
  return true;
}

bool PathExists(std::u16string_view path) {
  const std::u16string p = Terminated(path);
  return GetFileAttributesW(as_wcstr(p)) != INVALID_FILE_ATTRIBUTES;
}

bool IsDirectory(std::u16string_view path) {
  const std::u16string p = Terminated(path);
  const DWORD attributes = GetFileAttributesW(as_wcstr(p));
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool CreateDirectoryOne(std::u16string_view path) {
  const std::u16string p = Terminated(path);
  return CreateDirectoryW(as_wcstr(p), ProcessSecurityAttributes()) != FALSE;
}

bool CreateDirectoryDefaultSecurity(std::u16string_view path) {
  const std::u16string p = Terminated(path);
  return CreateDirectoryW(as_wcstr(p), nullptr) != FALSE;
}

bool RemoveDirectoryOne(std::u16string_view path) {
  const std::u16string p = Terminated(path);
  return RemoveDirectoryW(as_wcstr(p)) != FALSE;
}

bool DeleteFileAt(std::u16string_view path) {
  const std::u16string p = Terminated(path);
  return DeleteFileW(as_wcstr(p)) != FALSE;
}

bool SetNormalAttributes(std::u16string_view path) {
  const std::u16string p = Terminated(path);
  return SetFileAttributesW(as_wcstr(p), FILE_ATTRIBUTE_NORMAL) != FALSE;
}

bool ListDirectory(std::u16string_view folder, std::vector<DirEntry>* entries) {
  entries->clear();
  std::u16string pattern(folder);
  if (!pattern.empty() && pattern.back() != u'\\' && pattern.back() != u'/') pattern.push_back(u'\\');
  pattern += u"*.*";
  WIN32_FIND_DATAW data;
  UniqueFind find(FindFirstFileW(as_wcstr(pattern), &data));
  if (!find) return false;
  do {
    std::u16string name(as_u16cstr(data.cFileName));
    if (name == u"." || name == u"..") continue;
    entries->push_back({std::move(name), (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0,
                        (data.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) != 0,
                        (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0});
  } while (FindNextFileW(find.get(), &data));
  return true;
}

bool MoveFileReplacing(std::u16string_view from, std::u16string_view to) {
  const std::u16string f = Terminated(from), t = Terminated(to);
  return MoveFileExW(as_wcstr(f), as_wcstr(t), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED) != FALSE;
}

bool MoveFileKeeping(std::u16string_view from, std::u16string_view to) {
  const std::u16string f = Terminated(from), t = Terminated(to);
  return MoveFileW(as_wcstr(f), as_wcstr(t)) != FALSE;
}

bool CopyFileOverwriting(std::u16string_view from, std::u16string_view to) {
  const std::u16string f = Terminated(from), t = Terminated(to);
  return CopyFileW(as_wcstr(f), as_wcstr(t), FALSE) != FALSE;
}

uint32_t LastErrorCode() { return GetLastError(); }

}  // namespace platform
