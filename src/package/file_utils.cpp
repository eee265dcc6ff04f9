#include "package/file_utils.h"

#include <algorithm>
#include <limits>
#include <new>
#include <string_view>
#include <vector>

#include "base/path.h"
#include "base/strings.h"
#include "platform/fs.h"
#include "platform/message_box.h"
#include "platform/restart.h"
#include "platform/system.h"
#include "package/wininit_rename.h"

namespace package {
namespace {

bool IsEmpty(const char16_t* text) { return !text || !*text; }

// Folders whose contents DeleteTree must never remove: "\" or "/", and drive roots in every
// spelling ("C:\", "c:/", "C:\\"). "C:" alone is refused too: its listing is that of the drive's
// root ("C:\*.*") and the paths built from it ("C:\name") name the root's entries.
bool IsGuardedRoot(std::u16string_view folder) {
  if (folder == u"\\" || folder == u"/") return true;
  if (folder.size() < 2 || folder[1] != u':') return false;
  const std::u16string_view rest = folder.substr(1);
  return rest == u":" || rest == u":\\" || rest == u":\\\\" || rest == u":/";
}

bool SameFirstThree(std::u16string_view a, std::u16string_view b) {
  return base::EqualsIgnoreAsciiCase(a.substr(0, 3), b.substr(0, 3));
}

// The old-system road: a "destination=source" line in "wininit.ini" of the Windows folder.
bool ScheduleThroughWininit(const std::u16string& source, const std::u16string* destination) {
  const std::u16string windows = platform::WindowsDirectory();
  if (windows.empty()) return false;
  const std::string source_ansi = platform::ToAnsi(platform::ShortPathName(source));
  const std::string destination_ansi = destination ? platform::ToAnsi(platform::ShortPathName(*destination)) : "";
  return ScheduleInWininit(base::JoinPath(windows, u"wininit.ini"),
                           WininitRenameLine(destination_ansi, source_ansi));
}

}  // namespace

bool CreatePath(const char16_t* path) {
  if (IsEmpty(path)) return false;
  std::u16string folder(path);
  if (!base::EndsWithSeparator(folder)) {
    // A file path: keep the separator before its name, drop the name.
    size_t cut = folder.size();
    while (cut > 0 && !base::IsSeparator(folder[cut - 1])) --cut;
    folder.resize(cut);
  }
  if (folder.empty()) return true;
  if (platform::PathExists(folder) || platform::CreateDirectoryOne(folder)) return true;
  for (size_t i = 1; i < folder.size(); ++i) {
    if (!base::IsSeparator(folder[i])) continue;
    const std::u16string_view prefix(folder.data(), i);
    if (platform::PathExists(prefix)) continue;
    if (!platform::CreateDirectoryOne(prefix)) platform::CreateDirectoryDefaultSecurity(prefix);
  }
  return true;
}

std::unique_ptr<uint8_t[]> ReadWholeFile(const char16_t* path, uint32_t* size) {
  if (size) *size = 0;
  if (IsEmpty(path)) return nullptr;
  platform::File file =
      platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
  uint64_t length = 0;
  if (!file.IsOpen() || !file.Size(&length)) return nullptr;
  // The count is 32-bit, and one byte more is needed for the terminator.
  if (length == 0 || length >= std::numeric_limits<uint32_t>::max()) return nullptr;
  std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[static_cast<size_t>(length) + 1]);
  if (!buffer) return nullptr;
  size_t done = 0;
  if (!file.Read(buffer.get(), static_cast<size_t>(length), &done)) return nullptr;
  buffer[done] = 0;
  if (size) *size = static_cast<uint32_t>(done);
  return buffer;
}

bool WriteWholeFile(const char16_t* path, const void* data, uint32_t length, bool append,
                    platform::FileSecurity security) {
  if (IsEmpty(path) || (!data && length > 0)) return false;
  platform::File file = platform::File::Open(
      path, platform::FileAccess::kReadWrite,
      append ? platform::FileDisposition::kOpenAlways : platform::FileDisposition::kCreateAlways,
      platform::FileShare::kReadWrite, security);
  if (!file.IsOpen()) return false;
  if (append && !file.SeekToEnd()) return false;
  return length == 0 || file.Write(data, length);
}

uint32_t GetFileLength(const char16_t* path) {
  if (IsEmpty(path)) return 0;
  platform::File file =
      platform::File::Open(path, platform::FileAccess::kRead, platform::FileDisposition::kOpenExisting);
  uint64_t length = 0;
  if (!file.IsOpen() || !file.Size(&length)) return 0;
  return length > std::numeric_limits<uint32_t>::max() ? std::numeric_limits<uint32_t>::max()
                                                         : static_cast<uint32_t>(length);
}

void DeleteTree(const char16_t* folder, bool remove_root) {
  if (!folder) return;
  const std::u16string root(folder);
  if (IsGuardedRoot(root)) {
    platform::ShowMessageBox(u"warning", u"Warning code: 0x1144.", platform::kMbOk);
    return;
  }
  if (root.empty() || !platform::PathExists(root)) return;
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(root, &entries);
  for (const platform::DirEntry& entry : entries) {
    const std::u16string child = base::JoinPath(root, entry.name);
    if (entry.is_link) {
      // A link into another folder goes as a link: what it points to is not ours to delete.
      if (!(entry.is_directory && platform::RemoveDirectoryOne(child))) platform::DeleteFileAt(child);
    } else if (entry.is_directory) {
      DeleteTree(child.c_str(), true);
    } else {
      // Read-only, hidden and system files would refuse to go.
      platform::SetNormalAttributes(child);
      platform::DeleteFileAt(child);
    }
  }
  // Fails, as intended, while something that could not be deleted remains inside.
  if (remove_root) platform::RemoveDirectoryOne(root);
}

void RemoveEmptyFolders(const char16_t* folder, bool remove_root) {
  if (IsEmpty(folder) || !platform::PathExists(folder)) return;
  const std::u16string root(folder);
  std::vector<platform::DirEntry> entries;
  platform::ListDirectory(root, &entries);
  for (const platform::DirEntry& entry : entries) {
    // Only names without a dot are visited (the "*." listing): a folder named like a version
    // number ("1.0") is kept with everything in it.
    if (!entry.is_directory || entry.is_link || entry.name.find(u'.') != std::u16string::npos) continue;
    RemoveEmptyFolders(base::JoinPath(root, entry.name).c_str(), true);
  }
  if (remove_root) platform::RemoveDirectoryOne(root);
}

namespace {

bool CollectFolderFiles(const std::u16string& folder, const std::u16string& relative, bool include_hidden,
                        std::vector<FolderFile>* files) {
  std::vector<platform::DirEntry> entries;
  const std::u16string here = relative.empty() ? folder : base::JoinPath(folder, relative);
  if (!platform::ListDirectory(here, &entries)) return false;
  bool ok = true;
  for (const auto& entry : entries) {
    if (entry.is_hidden && !include_hidden) continue;
    const std::u16string name = relative.empty() ? entry.name : relative + u"\\" + entry.name;
    if (entry.is_directory) {
      ok = CollectFolderFiles(folder, name, include_hidden, files) && ok;
    } else {
      files->push_back({name, base::JoinPath(folder, name)});
    }
  }
  return ok;
}
}  // namespace

bool ListFolderFiles(const std::u16string& folder, bool include_hidden, std::vector<FolderFile>* files) {
  files->clear();
  const bool ok = CollectFolderFiles(folder, u"", include_hidden, files);
  std::sort(files->begin(), files->end(), [](const FolderFile& a, const FolderFile& b) {
    const std::u16string la = base::ToLowerAscii(a.relative), lb = base::ToLowerAscii(b.relative);
    return la != lb ? la < lb : a.relative < b.relative;
  });
  return ok;
}

bool TzRestartDeleteFile(const char16_t* path) {
  if (IsEmpty(path)) return false;
  const std::u16string renamed = std::u16string(path) + u".ren";
  // When the rename fails (the file is gone already, say) the scheduling below still decides
  // the result, as the ".ren" name is what a restart will delete.
  platform::MoveFileReplacing(path, renamed);
  return __smartmovefile(renamed.c_str(), nullptr, 4);
}

bool __smartmovefile(const char16_t* source, const char16_t* destination, uint32_t /*flags*/) {
  if (IsEmpty(source)) return false;
  std::u16string from(source);
  std::u16string to;
  const bool has_destination = !IsEmpty(destination);
  if (has_destination) {
    to = destination;
    if (!SameFirstThree(from, to)) {
      // A delayed move cannot cross drives: move a copy that already sits on the destination's
      // drive. Without the copy there is nothing to move.
      const std::u16string copy = to + u".tmp";
      if (!platform::CopyFileOverwriting(from, copy)) return false;
      from = copy;
    }
    from = platform::ShortPathName(from);
  }
  if (platform::IsNtFamilySystem()) return platform::MoveFileAtRestart(from, has_destination ? &to : nullptr);
  return ScheduleThroughWininit(from, has_destination ? &to : nullptr);
}

}  // namespace package
