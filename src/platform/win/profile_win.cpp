#include <windows.h>

#include <vector>

#include "platform/profile.h"
#include "platform/win/wstr.h"

namespace platform {

std::u16string ReadProfileString(std::u16string_view file, std::u16string_view section,
                                 std::u16string_view key, size_t max_chars) {
  if (max_chars == 0 || max_chars > 0xFFFF) return std::u16string();
  const std::u16string f(file), s(section), k(key);
  std::vector<wchar_t> buffer(max_chars + 1, L'\0');
  const DWORD n = GetPrivateProfileStringW(as_wcstr(s), as_wcstr(k), L"", buffer.data(),
                                           static_cast<DWORD>(buffer.size()), as_wcstr(f));
  return std::u16string(as_u16cstr(buffer.data()), n < buffer.size() ? n : max_chars);
}

}  // namespace platform

namespace platform {

bool WriteProfileValue(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                        std::u16string_view value) {
  const std::u16string f(file), s(section), k(key), v(value);
  return WritePrivateProfileStringW(as_wcstr(s), as_wcstr(k), as_wcstr(v), as_wcstr(f)) != FALSE;
}

bool DeleteProfileKey(std::u16string_view file, std::u16string_view section, std::u16string_view key) {
  const std::u16string f(file), s(section), k(key);
  return WritePrivateProfileStringW(as_wcstr(s), as_wcstr(k), nullptr, as_wcstr(f)) != FALSE;
}

}  // namespace platform
