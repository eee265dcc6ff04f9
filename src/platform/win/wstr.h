#pragma once
// UTF-16 strings meet the Windows API without copies: wchar_t is 16 bits on Windows, and the
// project builds with -fno-strict-aliasing so the cast is sound.
#include <string>

static_assert(sizeof(wchar_t) == 2, "wchar_t must be UTF-16 on Windows");

namespace platform {
inline const wchar_t* as_wcstr(const char16_t* s) { return reinterpret_cast<const wchar_t*>(s); }
inline wchar_t* as_writable_wcstr(char16_t* s) { return reinterpret_cast<wchar_t*>(s); }
inline const wchar_t* as_wcstr(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }
inline const char16_t* as_u16cstr(const wchar_t* s) { return reinterpret_cast<const char16_t*>(s); }
}  // namespace platform
