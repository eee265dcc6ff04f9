#pragma once
// Helpers of the description tests: description files written by hand as the packaging side
// writes them, and the lines the program adds to its log.
#include <string>
#include <vector>

#include "base/path.h"
#include "base/strings.h"
#include "package/file_utils.h"
#include "platform/system.h"
#include "support/scratch_dir.h"

namespace desc_test {

// Writes FF FE and the text (UTF-8 in the test source, "\n" line ends turned into CR LF) as
// UTF-16LE, creating the file's folders.
inline void WriteDescription(const std::u16string& path, const std::string& utf8) {
  package::CreatePath(path.c_str());
  std::vector<unsigned char> bytes = {0xFF, 0xFE};
  for (char16_t c : base::Utf8ToUtf16(utf8)) {
    if (c == u'\n') {
      bytes.push_back('\r');
      bytes.push_back(0);
    }
    bytes.push_back(static_cast<unsigned char>(c & 0xFF));
    bytes.push_back(static_cast<unsigned char>(c >> 8));
  }
  testing_support::WriteBytes(path, bytes);
}

// What the running test program adds to its own log file from the moment a LogTail is made.

class LogTail {
 public:
  LogTail() : start_(testing_support::ReadBytes(Path()).size()) {}

  // The new bytes (the log's code page: ASCII texts compare as written).
  std::string Text() const {
    const std::vector<unsigned char> bytes = testing_support::ReadBytes(Path());
    // A log that outgrew its limit starts over: then all of it is new.
    const size_t from = bytes.size() < start_ ? 0 : start_;
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
  }

  static std::u16string Path() {
    return platform::WindowsDirectory() + u"\\NorvLog\\" +
           std::u16string(base::FileNamePart(platform::ModuleFilePath())) + u".log";
  }

 private:
  size_t start_;
};

}  // namespace desc_test
