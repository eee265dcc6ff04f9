#pragma once
// A small printf-style formatter for the program's own UTF-16 format strings. It never writes
// past the caller's bound and never reads an argument for a conversion it does not know, so a
// mistaken format cannot corrupt memory the way printf can. It is still only for formats written
// in this program: a format taken from a file must never be handed to it.
//
// Conversions: %s (const char16_t*, null prints "(null)"), %hs and %S (const char*, taken as
// UTF-8), %c (one UTF-16 unit passed as int), %d %i (signed), %u %x %X (unsigned), %%.
// Flags '-' (left-justify) and '0' (pad numbers with zeros), a decimal width or '*' (an int
// argument), and the length modifiers h, l and ll for the integer conversions (h narrows to
// 16 bits; l is the platform's long). Any other conversion is copied to the output as written,
// and consumes no argument.
#include <cstdarg>
#include <cstddef>
#include <string>

namespace base {

// Formats into out, a buffer of capacity units: at most capacity - 1 units of text followed by a
// zero. Text beyond that is cut. Returns the number of units written, without the zero. With
// capacity 0 nothing is written and 0 is returned.
size_t FormatTo(char16_t* out, size_t capacity, const char16_t* format, ...);
size_t FormatToV(char16_t* out, size_t capacity, const char16_t* format, va_list args);

// The same into a string of at most max_length units. A null format gives the empty string.
std::u16string Format(size_t max_length, const char16_t* format, ...);
std::u16string FormatV(size_t max_length, const char16_t* format, va_list args);

}  // namespace base
