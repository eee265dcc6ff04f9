#include <fcntl.h>
#include <sys/stat.h>

#include <string>

#include "base/strings.h"
#include "platform/file_times.h"

namespace platform {
namespace {
std::string NativePath(std::u16string_view path) {
  std::string out = base::Utf16ToUtf8(path);
  for (auto& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}
}  // namespace

bool SetFileTimes(std::u16string_view path, int64_t modified, int64_t accessed) {
  struct timespec times[2] = {};
  times[0].tv_sec = static_cast<time_t>(accessed);
  times[1].tv_sec = static_cast<time_t>(modified);
  return ::utimensat(AT_FDCWD, NativePath(path).c_str(), times, 0) == 0;
}

bool GetFileTimes(std::u16string_view path, int64_t* modified, int64_t* accessed) {
  struct stat st;
  if (::stat(NativePath(path).c_str(), &st) != 0) return false;
  *modified = static_cast<int64_t>(st.st_mtim.tv_sec);
  *accessed = static_cast<int64_t>(st.st_atim.tv_sec);
  return true;
}

}  // namespace platform
