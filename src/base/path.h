#pragma once
// Path values as plain string work. Paths are Windows-style: either "\" or "/" separates
// components. Nothing here touches the disk.
#include <string>
#include <string_view>

namespace base {

inline bool IsSeparator(char16_t c) { return c == u'\\' || c == u'/'; }
bool EndsWithSeparator(std::u16string_view path);
// Appends a backslash unless the path is empty or already ends in "\" or "/".
void AddBackslash(std::u16string& path);

// Joins folder and name with one backslash between them (none added when the folder is empty
// or already ends in a separator).
std::u16string JoinPath(std::u16string_view folder, std::u16string_view name);

// The part after the last separator ("c:\a\b.txt" -> "b.txt").
std::u16string_view FileNamePart(std::u16string_view path);
// Everything before the last separator, without it ("c:\a\b.txt" -> "c:\a"); empty if none.
std::u16string_view ParentPart(std::u16string_view path);

// True for a relative name that stays inside the folder it is joined to: not empty, no drive
// letter or colon, no leading separator (which also excludes UNC paths), and no component made
// only of dots and spaces ("." and "..", and ". " or "..." which Windows reads as one of them).
// Names taken from packages and archives must pass this before they are joined.
bool IsContainedRelativePath(std::u16string_view name);
// The same for the name of a file, which also must not end in a separator: "sub\" names a
// folder, and writing a file under that name fails only after the folder has been made.
bool IsContainedFilePath(std::u16string_view name);

// A single contained component (no separator at all): what a compose or product name must be
// before it becomes part of a file name.
bool IsPlainName(std::u16string_view name);

}  // namespace base
