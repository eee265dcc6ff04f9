#include <windows.h>
#include <shlobj.h>

#include <vector>

#include "platform/system.h"
#include "platform/win/unique_handles.h"
#include "platform/win/wstr.h"

namespace platform {

std::u16string WindowsDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  const UINT n = GetWindowsDirectoryW(buffer, MAX_PATH + 1);
  if (n == 0 || n > MAX_PATH) return std::u16string();
  return std::u16string(as_u16cstr(buffer), n);
}

std::u16string ModuleFilePath() {
  // Grows past MAX_PATH for long paths; the caller decides what length it accepts.
  std::vector<wchar_t> buffer(MAX_PATH + 1);
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (n == 0) return std::u16string();
    if (n < size) return std::u16string(as_u16cstr(buffer.data()), n);
    if (buffer.size() >= 32768) return std::u16string();
    buffer.resize(buffer.size() * 2);
  }
}

std::u16string TempDirectory() {
  wchar_t buffer[MAX_PATH + 1];
  const DWORD n = GetTempPathW(MAX_PATH + 1, buffer);
  if (n == 0 || n > MAX_PATH) return std::u16string();
  return std::u16string(as_u16cstr(buffer), n);
}

std::u16string ProgramFilesFolder() {
  wchar_t buffer[MAX_PATH] = {};
  // The 32-bit folder: where the suite's 32-bit programs have always been installed.
  if (!SHGetSpecialFolderPathW(nullptr, buffer, CSIDL_PROGRAM_FILESX86, FALSE)) return std::u16string();
  return std::u16string(as_u16cstr(buffer));
}

uint32_t SystemTickCount() { return GetTickCount(); }

LocalTime CurrentLocalTime() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.milliseconds = st.wMilliseconds;
  return t;
}

std::string ToAnsi(std::u16string_view text) {
  if (text.empty()) return std::string();
  if (text.size() > 0x3FFFFFFF) return std::string();
  const int units = static_cast<int>(text.size());
  // No best-fit mapping: a character the code page lacks becomes its default character rather
  // than a look-alike.
  const DWORD flags = WC_NO_BEST_FIT_CHARS;
  const int size = WideCharToMultiByte(CP_THREAD_ACP, flags, as_wcstr(text.data()), units, nullptr, 0,
                                       nullptr, nullptr);
  if (size <= 0) return std::string();
  std::string out(static_cast<size_t>(size), '\0');
  WideCharToMultiByte(CP_THREAD_ACP, flags, as_wcstr(text.data()), units, &out[0], size, nullptr, nullptr);
  return out;
}

bool SystemMessageText(uint32_t code, std::string* text) {
  text->clear();
  UniqueLocal<char> message;
  const DWORD n = FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<char*>(message.put()), 0, nullptr);
  if (!message) return false;
  text->assign(message.get(), n);
  return n != 0;
}

bool LoadStringResource(uint32_t id, std::u16string* text) {
  text->clear();
  if (id > 0xFFFF) return false;
  // With a zero buffer size LoadStringW hands out a read-only pointer into the resource itself;
  // the string there is counted, not zero-terminated.
  const wchar_t* resource = nullptr;
  const int n = LoadStringW(GetModuleHandleW(nullptr), id, reinterpret_cast<wchar_t*>(&resource), 0);
  if (n <= 0 || !resource) return false;
  text->assign(as_u16cstr(resource), static_cast<size_t>(n));
  return true;
}

}  // namespace platform
