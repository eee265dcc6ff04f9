// Host implementation of the file layer. Windows-style paths map onto POSIX ones by turning every
// backslash into a slash; error codes are errno values.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "base/strings.h"
#include "base/unique_any.h"
#include "platform/fs.h"

namespace platform {
namespace {
thread_local uint32_t g_last_error = 0;

std::string NativePath(std::u16string_view path) {
  std::string out = base::Utf16ToUtf8(path);
  for (auto& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}
bool Fail() {
  g_last_error = static_cast<uint32_t>(errno);
  return false;
}

int AsFd(intptr_t handle) { return static_cast<int>(handle); }

struct DirTraits : base::KeepsErrno {
  using Handle = DIR*;
  static Handle Invalid() { return nullptr; }
  static bool IsValid(Handle h) { return h != nullptr; }
  static void Close(Handle h) { ::closedir(h); }
};
}  // namespace

void File::HandleTraits::Close(Handle h) { ::close(AsFd(h)); }

File File::Open(std::u16string_view path, FileAccess access, FileDisposition disposition, FileShare, FileSecurity) {
  int flags = access == FileAccess::kRead ? O_RDONLY : O_RDWR;
  if (access == FileAccess::kAppend) flags = O_WRONLY | O_APPEND;
  if (disposition == FileDisposition::kOpenAlways) flags |= O_CREAT;
  if (disposition == FileDisposition::kCreateAlways) flags |= O_CREAT | O_TRUNC;
  const int fd = ::open(NativePath(path).c_str(), flags | O_CLOEXEC, 0644);
  if (fd < 0) {
    Fail();
    return File();
  }
  File file(fd);
  struct stat st;
  if (fstat(fd, &st) == 0 && S_ISDIR(st.st_mode)) {
    g_last_error = EISDIR;
    return File();
  }
  return file;
}

bool File::Read(void* buffer, size_t size, size_t* done) {
  *done = 0;
  if (!IsOpen()) return false;
  char* out = static_cast<char*>(buffer);
  while (size > 0) {
    const ssize_t got = ::read(AsFd(handle_.get()), out, size);
    if (got < 0) {
      if (errno == EINTR) continue;
      return Fail();
    }
    if (got == 0) break;
    *done += static_cast<size_t>(got);
    out += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

bool File::ReadExact(void* buffer, size_t size) {
  size_t done = 0;
  return Read(buffer, size, &done) && done == size;
}

bool File::Write(const void* data, size_t size) {
  if (!IsOpen()) return false;
  const char* in = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t put = ::write(AsFd(handle_.get()), in, size);
    if (put < 0) {
      if (errno == EINTR) continue;
      return Fail();
    }
    in += put;
    size -= static_cast<size_t>(put);
  }
  return true;
}

bool File::SeekTo(uint64_t position) {
  return IsOpen() && (::lseek(AsFd(handle_.get()), static_cast<off_t>(position), SEEK_SET) >= 0 || Fail());
}

bool File::SeekToEnd() { return IsOpen() && (::lseek(AsFd(handle_.get()), 0, SEEK_END) >= 0 || Fail()); }

bool File::TruncateHere() {
  if (!IsOpen()) return false;
  const off_t position = ::lseek(AsFd(handle_.get()), 0, SEEK_CUR);
  return (position >= 0 && ::ftruncate(AsFd(handle_.get()), position) == 0) || Fail();
}

bool File::Size(uint64_t* size) const {
  struct stat st;
  if (!IsOpen() || fstat(AsFd(handle_.get()), &st) != 0) return Fail();
  *size = static_cast<uint64_t>(st.st_size);
  return true;
}

bool PathExists(std::u16string_view path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 || Fail();
}

bool IsDirectory(std::u16string_view path) {
  struct stat st;
  return ::stat(NativePath(path).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool CreateDirectoryOne(std::u16string_view path) { return ::mkdir(NativePath(path).c_str(), 0755) == 0 || Fail(); }

bool CreateDirectoryDefaultSecurity(std::u16string_view path) { return CreateDirectoryOne(path); }

bool RemoveDirectoryOne(std::u16string_view path) { return ::rmdir(NativePath(path).c_str()) == 0 || Fail(); }

bool DeleteFileAt(std::u16string_view path) {
  const std::string p = NativePath(path);
  struct stat st;
  if (::lstat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    g_last_error = EISDIR;
    return false;
  }
  return ::unlink(p.c_str()) == 0 || Fail();
}

bool SetNormalAttributes(std::u16string_view path) {
  const std::string p = NativePath(path);
  struct stat st;
  if (::stat(p.c_str(), &st) != 0) return Fail();
  return ::chmod(p.c_str(), st.st_mode | S_IWUSR) == 0 || Fail();
}

bool ListDirectory(std::u16string_view folder, std::vector<DirEntry>* entries) {
  entries->clear();
  const std::string base_path = NativePath(folder);
  const base::UniqueAny<DirTraits> dir(::opendir(base_path.empty() ? "." : base_path.c_str()));
  if (!dir) return Fail();
  while (dirent* e = ::readdir(dir.get())) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    std::string full = base_path;
    if (!full.empty() && full.back() != '/') full.push_back('/');
    full += name;
    struct stat st;
    const bool known = ::lstat(full.c_str(), &st) == 0;
    entries->push_back(
        {base::Utf8ToUtf16(name), known && S_ISDIR(st.st_mode), name[0] == '.', known && S_ISLNK(st.st_mode)});
  }
  return true;
}

bool MoveFileReplacing(std::u16string_view from, std::u16string_view to) {
  return ::rename(NativePath(from).c_str(), NativePath(to).c_str()) == 0 || Fail();
}

bool MoveFileKeeping(std::u16string_view from, std::u16string_view to) {
  const std::string target = NativePath(to);
  struct stat st;
  if (::lstat(target.c_str(), &st) == 0) {
    g_last_error = EEXIST;
    return false;
  }
  return ::rename(NativePath(from).c_str(), target.c_str()) == 0 || Fail();
}

bool CopyFileOverwriting(std::u16string_view from, std::u16string_view to) {
  File in = File::Open(from, FileAccess::kRead, FileDisposition::kOpenExisting);
  if (!in.IsOpen()) return false;
  File out = File::Open(to, FileAccess::kReadWrite, FileDisposition::kCreateAlways);
  if (!out.IsOpen()) return false;
  char buffer[1 << 16];
  for (;;) {
    size_t got = 0;
    if (!in.Read(buffer, sizeof(buffer), &got)) return false;
    if (got == 0) return true;
    if (!out.Write(buffer, got)) return false;
  }
}

uint32_t LastErrorCode() { return g_last_error; }

}  // namespace platform
