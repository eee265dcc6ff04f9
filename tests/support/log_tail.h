#pragma once
// What the running test program adds to its own log file ("<Windows folder>\NorvLog\<program>.log")
// from the moment a LogTail is made.
#include <cstddef>
#include <string>
#include <vector>

#include "base/path.h"
#include "platform/system.h"
#include "support/scratch_dir.h"

namespace testing_support {

class LogTail {
 public:
  // The log of this program, or of another one by its file name ("norvinstall.exe").
  explicit LogTail(std::u16string program_file = u"")
      : path_(platform::WindowsDirectory() + u"\\NorvLog\\" +
              (program_file.empty() ? std::u16string(base::FileNamePart(platform::ModuleFilePath())) : program_file) +
              u".log"),
        start_(ReadBytes(path_).size()) {}

  // The new bytes (the log's code page: ASCII texts compare as written).
  std::string Text() const {
    const std::vector<unsigned char> bytes = ReadBytes(path_);
    // A log that outgrew its limit starts over: then all of it is new.
    const size_t from = bytes.size() < start_ ? 0 : start_;
    return std::string(bytes.begin() + static_cast<std::ptrdiff_t>(from), bytes.end());
  }

 private:
  std::u16string path_;
  size_t start_;
};

}  // namespace testing_support
