#pragma once
// The file layer: files and folders opened by UTF-16 path on both builds. On Windows every file
// and folder is created with the process-wide security attributes; the host build maps "\" to
// "/" so that the product's Windows-style paths work unchanged in tests and in norvpack.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/unique_any.h"
#include "platform/last_error.h"

namespace platform {

enum class FileAccess {
  kRead,
  kReadWrite,
  // Every write lands at the current end of the file, atomically with respect to other writers
  // that append to the same file (so that two handles never write over each other's lines).
  kAppend,
};
enum class FileDisposition {
  kOpenExisting,  // fails when the file is missing
  kOpenAlways,    // opens, or creates when missing; keeps the content
  kCreateAlways,  // creates, or truncates an existing file
};
enum class FileShare { kRead, kReadWrite };
// Who may use a file the call creates (Windows; the host ignores it). The installed tree, the
// state files and the log get the process-wide attributes (Everyone: full control); what the
// elevated installer trusts later, such as the extracted payload parts, keeps the default.
enum class FileSecurity { kProcessWide, kDefault };

// A move-only owner of an open file. Failed operations leave the platform's error code for
// LastErrorCode(); closing keeps it.
class File {
 public:
  File() = default;

  static File Open(std::u16string_view path, FileAccess access, FileDisposition disposition,
                   FileShare share = FileShare::kReadWrite, FileSecurity security = FileSecurity::kProcessWide);

  bool IsOpen() const { return static_cast<bool>(handle_); }
  // Reads up to size bytes; *done receives the count (0 at the end of the file).
  bool Read(void* buffer, size_t size, size_t* done);
  // Reads exactly size bytes or fails.
  bool ReadExact(void* buffer, size_t size);
  bool Write(const void* data, size_t size);
  bool SeekTo(uint64_t position);
  bool SeekToEnd();
  // Cuts the file at the current position.
  bool TruncateHere();
  bool Size(uint64_t* size) const;
  void Close() { handle_.reset(); }

 private:
  // The platform's handle as an integer (a HANDLE on Windows, a descriptor on the host); the
  // platform's file layer closes it.
  struct HandleTraits : KeepsLastError {
    using Handle = intptr_t;
    static Handle Invalid() { return -1; }
    static bool IsValid(Handle h) { return h != -1; }
    static void Close(Handle h);
  };
  explicit File(intptr_t handle) : handle_(handle) {}
  base::UniqueAny<HandleTraits> handle_;
};

struct DirEntry {
  std::u16string name;
  bool is_directory = false;
  // Windows: the hidden attribute; host: a name starting with ".".
  bool is_hidden = false;
  // A symbolic link or junction (Windows: a reparse point; host: a symbolic link). Tree walks
  // remove such an entry itself and never follow it into the folder it points to.
  bool is_link = false;
};

bool PathExists(std::u16string_view path);
bool IsDirectory(std::u16string_view path);
// Creates one folder level.
bool CreateDirectoryOne(std::u16string_view path);
// Creates one folder level with the platform's default security instead of the process-wide
// attributes: the fallback where those are refused. Host: the same as CreateDirectoryOne.
bool CreateDirectoryDefaultSecurity(std::u16string_view path);
bool RemoveDirectoryOne(std::u16string_view path);
bool DeleteFileAt(std::u16string_view path);
// Clears read-only, hidden and system attributes (host: makes the file writable by its owner).
bool SetNormalAttributes(std::u16string_view path);
// All entries of a folder except "." and "..", in the platform's order.
bool ListDirectory(std::u16string_view folder, std::vector<DirEntry>* entries);
bool MoveFileReplacing(std::u16string_view from, std::u16string_view to);
// Renames (or moves) a file; fails when `to` exists (MoveFileW). Host: the check for an existing
// `to` and the rename are two steps.
bool MoveFileKeeping(std::u16string_view from, std::u16string_view to);
bool CopyFileOverwriting(std::u16string_view from, std::u16string_view to);
// The platform's error code of the calling thread's last failed call.
uint32_t LastErrorCode();

}  // namespace platform
