#pragma once
// File and folder operations shared by the whole program. Every folder and file they create gets
// the process-wide security attributes (Everyone: full control). Paths are at most 259 characters.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/fs.h"

namespace package {

// Creates every missing folder of path. A path that does not end in a separator names a file:
// its last component is left out. Returns false only for a null or empty path.
bool CreatePath(const char16_t* path);

// The whole file in a new buffer of its length plus one, with a zero byte after the data;
// *size receives the number of bytes read. Null for a null path, a file that cannot be opened or
// read, or an empty file.
std::unique_ptr<uint8_t[]> ReadWholeFile(const char16_t* path, uint32_t* size);

// Writes the bytes to path: creates or truncates the file (append false) or opens or creates it
// and writes at its end (append true). Creates no folders. False for a null path, a file that
// cannot be opened, or a failed write.
bool WriteWholeFile(const char16_t* path, const void* data, uint32_t length, bool append,
                    platform::FileSecurity security = platform::FileSecurity::kProcessWide);

// A file below a folder: its path relative to the folder (backslashes) and its full path.
struct FolderFile {
  std::u16string relative;
  std::u16string path;
};
// Every file below folder, sub-folders included, in name order (ASCII case folded first), so that
// the same folder always gives the same output. Hidden entries are passed over unless asked for.
// False when a folder cannot be read.
bool ListFolderFiles(const std::u16string& folder, bool include_hidden, std::vector<FolderFile>* files);

// The file's size, 0 when it cannot be opened.
uint32_t GetFileLength(const char16_t* path);

// Removes the folder's contents and, when remove_root is set, the folder. A drive root or a lone
// separator is refused with the message "Warning code: 0x1144." and nothing is touched.
void DeleteTree(const char16_t* folder, bool remove_root);

// Removes empty sub-folders (those whose names carry no dot) and, when asked, the folder itself
// if it ends up empty. Never deletes a file.
void RemoveEmptyFolders(const char16_t* folder, bool remove_root);

// Renames the file to "<path>.ren" now (replacing an older one) and schedules the ".ren" file
// for deletion at the next restart. Returns the result of the scheduling.
bool TzRestartDeleteFile(const char16_t* path);

// Schedules source to be moved onto destination, or deleted when destination is null, at the next
// restart. flags is accepted and not used (callers pass 4).
bool __smartmovefile(const char16_t* source, const char16_t* destination, uint32_t flags);

}  // namespace package
