#pragma once
// UTF-16 text helpers shared by every module. Strings are std::u16string; these helpers never
// allocate more than their output and never fail on malformed input (ill-formed sequences become
// U+FFFD).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

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

// The first width code units of text.
std::u16string Cut(std::u16string_view text, size_t width);

// The items of a list separated by separator, in order; empty items only when keep_empty is set
// ("a,,b" gives a, b or a, "", b; an empty text gives nothing or one empty item).
std::vector<std::u16string_view> SplitList(std::u16string_view text, char16_t separator = u',',
                                           bool keep_empty = false);

// The leading decimal integer of text: characters for which is_blank holds, an optional sign, then
// digits up to the first other character. Saturates at the 32-bit bounds; 0 without digits. For
// numbers from files and network answers, where any length of digits may come.
template <typename Char, typename IsBlank>
int32_t ParseSaturatedInt32(std::basic_string_view<Char> text, IsBlank is_blank) {
  size_t i = 0;
  while (i < text.size() && is_blank(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == Char('+') || text[i] == Char('-'))) {
    negative = text[i] == Char('-');
    ++i;
  }
  // One past the largest magnitude: enough to tell an overflow in either direction.
  constexpr int64_t kLimit = int64_t{2147483647} + 1;
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= Char('0') && text[i] <= Char('9'); ++i) {
    magnitude = magnitude * 10 + (text[i] - Char('0'));
    if (magnitude > kLimit) magnitude = kLimit;
  }
  if (negative) return static_cast<int32_t>(-magnitude);
  return magnitude >= kLimit ? int32_t{2147483647} : static_cast<int32_t>(magnitude);
}

// Decimal rendering of integers as UTF-16.
std::u16string NumberToUtf16(int64_t value);
std::u16string UnsignedToUtf16(uint64_t value);

// Length of a zero-terminated UTF-16 text, reading at most max_units code units.
size_t BoundedLength(const char16_t* text, size_t max_units);

}  // namespace base
