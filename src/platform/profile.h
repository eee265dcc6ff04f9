#pragma once
// Reading and writing ini-style files through the platform's profile functions (Windows only;
// on the host build reads give empty text and writes fail), for the few files that the program
// handles that way rather than through the key-value reader: section and key names compare
// without regard to case, and the value is the text after the "=" with the blanks around it
// removed. A file that begins with a UTF-16 byte-order mark is read and written as UTF-16, any
// other in the ANSI code page.
#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

// The value of key in section of file, at most max_chars characters (longer values are cut);
// empty when the file, section or key is missing (GetPrivateProfileStringW with an empty default).
std::u16string ReadProfileString(std::u16string_view file, std::u16string_view section,
                                 std::u16string_view key, size_t max_chars);

// Sets key in section of file, creating the file and section when missing
// (WritePrivateProfileStringW). False when the file cannot be written.
bool WriteProfileValue(std::u16string_view file, std::u16string_view section, std::u16string_view key,
                        std::u16string_view value);

// Removes key from section of file. False when the file cannot be written.
bool DeleteProfileKey(std::u16string_view file, std::u16string_view section, std::u16string_view key);

}  // namespace platform
