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
  LogTail() : start_(ReadBytes(Path()).size()) {}

  // The new bytes (the log's code page: ASCII texts compare as written).
  std::string Text() const {
    const std::vector<unsigned char> bytes = ReadBytes(Path());
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

}  // namespace testing_support
