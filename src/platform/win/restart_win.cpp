#include <windows.h>

#include "platform/restart.h"
#include "platform/win/wstr.h"

namespace platform {

bool IsNtFamilySystem() {
  // GetVersion is kept for its top bit, which only the old 9x line sets.
  return (GetVersion() & 0x80000000u) == 0;
}

std::u16string ShortPathName(std::u16string_view path) {
  const std::u16string input(path);
  wchar_t buffer[MAX_PATH];
  const DWORD length = GetShortPathNameW(as_wcstr(input), buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return input;
  return std::u16string(as_u16cstr(buffer), length);
}

namespace {
// Strict conversion: a character without an equivalent fails instead of becoming "?".
bool ToAnsiCodePage(std::u16string_view text, std::string* ansi) {
  ansi->clear();
  if (text.empty()) return true;
  if (text.size() > 0x7FFFFFFF / 4) return false;
  const int units = static_cast<int>(text.size());
  const wchar_t* wide = reinterpret_cast<const wchar_t*>(text.data());
  BOOL lossy = FALSE;
  const int bytes = WideCharToMultiByte(CP_THREAD_ACP, 0, wide, units, nullptr, 0, nullptr, &lossy);
  if (bytes <= 0 || lossy) return false;
  ansi->resize(static_cast<size_t>(bytes));
  if (WideCharToMultiByte(CP_THREAD_ACP, 0, wide, units, &(*ansi)[0], bytes, nullptr, &lossy) != bytes || lossy) {
    ansi->clear();
    return false;
  }
  return true;
}
}  // namespace

bool MoveFileAtRestart(std::u16string_view source, const std::u16string* destination) {
  using MoveFileExAFunction = BOOL(WINAPI*)(LPCSTR, LPCSTR, DWORD);
  HMODULE kernel = GetModuleHandleW(L"Kernel32");
  if (!kernel) return false;
  FARPROC found = GetProcAddress(kernel, "MoveFileExA");
  if (!found) return false;
  const auto move_file = reinterpret_cast<MoveFileExAFunction>(reinterpret_cast<void*>(found));

  std::string source_ansi, destination_ansi;
  if (!ToAnsiCodePage(source, &source_ansi)) return false;
  if (destination && !ToAnsiCodePage(*destination, &destination_ansi)) return false;
  return move_file(source_ansi.c_str(), destination ? destination_ansi.c_str() : nullptr,
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_DELAY_UNTIL_REBOOT) != FALSE;
}

}  // namespace platform
