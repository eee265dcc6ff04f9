#pragma once
// The private folder of one fuzzing process, "<temp>/<name>.<pid>/": made on the first call and
// removed with everything in it when the process exits, so that runs leave nothing behind.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

#include "base/strings.h"
#include "package/file_utils.h"
#include "platform/system.h"

namespace fuzz_support {

inline void Check(bool condition) {
  if (!condition) std::abort();
}

class Folder {
 public:
  explicit Folder(const char* name)
      : path_(platform::TempDirectory() + base::Utf8ToUtf16(name) + u"." + base::NumberToUtf16(getpid()) + u"/") {
    package::CreatePath(path_.c_str());
  }
  // Plain file-system calls: the project's own may log, and the log may be gone at exit.
  ~Folder() {
    std::error_code ec;
    std::filesystem::remove_all(base::Utf16ToUtf8(path_), ec);
  }
  const std::u16string& path() const { return path_; }

 private:
  std::u16string path_;
};

inline const std::u16string& WorkFolder(const char* name) {
  static const Folder folder(name);
  return folder.path();
}

}  // namespace fuzz_support
