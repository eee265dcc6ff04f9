#pragma once
// UTF-16 text helpers shared by every module. Strings are std::u16string; these helpers never
// allocate more than their output and never fail on malformed input (ill-formed sequences become
// U+FFFD).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace base {

std::u16string Utf8ToUtf16(std::string_view utf8);
std::string Utf16ToUtf8(std::u16string_view utf16);

// Widens 7-bit ASCII text; bytes above 0x7F are taken as Latin-1.
std::u16string AsciiToUtf16(std::string_view ascii);

// Case folding of the letters A-Z only, as names in descriptions and containers compare.
char16_t AsciiToLower(char16_t c);
bool EqualsIgnoreAsciiCase(std::u16string_view a, std::u16string_view b);
bool StartsWithIgnoreAsciiCase(std::u16string_view text, std::u16string_view prefix);
bool EndsWithIgnoreAsciiCase(std::u16string_view text, std::u16string_view suffix);
std::u16string ToLowerAscii(std::u16string_view text);

// Removes leading and trailing U+0020 characters only.
std::u16string_view TrimBlanks(std::u16string_view text);

// Decimal rendering of integers as UTF-16.
std::u16string NumberToUtf16(int64_t value);
std::u16string UnsignedToUtf16(uint64_t value);

// Length of a zero-terminated UTF-16 text, reading at most max_units code units.
size_t BoundedLength(const char16_t* text, size_t max_units);

}  // namespace base
