#pragma once
// Reading ini-style files through the platform's profile functions (Windows only), for the few
// files that the program reads that way rather than through the key-value reader: section and
// key names compare without regard to case, and the value is the text after the "=" with the
// blanks around it removed.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The value of key in section of file, at most max_chars characters (longer values are cut);
// empty when the file, section or key is missing (GetPrivateProfileStringW with an empty default).
std::u16string ReadProfileString(std::u16string_view file, std::u16string_view section,
                                 std::u16string_view key, size_t max_chars);

}  // namespace platform
