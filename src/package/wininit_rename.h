#pragma once
// The "[rename]" section of "wininit.ini", through which systems older than the NT family move
// or delete files at the next start. The file is 8-bit text in the ANSI code page with CR LF
// lines; each "destination=source" line of the section is one operation, and the destination
// "NUL" deletes the source. Both paths are in their short (8.3) forms.
#include <string>
#include <string_view>

namespace package {

// "destination=source\r\n"; destination "NUL" when there is none.
std::string WininitRenameLine(std::string_view destination, std::string_view source);

// The file's new content with the line in its "[rename]" section: right after the first
// "[rename]\r\n", or in a "[rename]" section put in front of the old content when there is none.
// The content unchanged (*changed false) when the line already stands in it as a whole line.
std::string AddWininitRenameLine(std::string_view content, std::string_view line, bool* changed);

// Adds the line to the file at path, creating the file when it cannot be opened. True once the
// line stands in the file (written now or found there); false when the file cannot be read or
// written, or is too large (above 16 MiB) to be a "wininit.ini".
bool ScheduleInWininit(std::u16string_view path, std::string_view line);

}  // namespace package
