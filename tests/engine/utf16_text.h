#pragma once
// UTF-16LE file bytes for engine tests: key-value files as the installer reads and writes them.
#include <string>
#include <vector>

#include "base/strings.h"
#include "support/scratch_dir.h"

namespace engine_test {

// FF FE and the text (UTF-8 in the test source) as UTF-16LE; "\n" stays as it is written.
inline std::vector<unsigned char> Utf16FileBytes(const std::string& utf8) {
  std::vector<unsigned char> bytes = {0xFF, 0xFE};
  for (char16_t c : base::Utf8ToUtf16(utf8)) {
    bytes.push_back(static_cast<unsigned char>(c & 0xFF));
    bytes.push_back(static_cast<unsigned char>(c >> 8));
  }
  return bytes;
}

inline void WriteUtf16File(const std::u16string& path, const std::string& utf8) {
  testing_support::WriteBytes(path, Utf16FileBytes(utf8));
}

// The file's text without its byte-order mark, as UTF-8 (empty for a missing file).
inline std::string ReadUtf16File(const std::u16string& path) {
  const std::vector<unsigned char> bytes = testing_support::ReadBytes(path);
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return base::Utf16ToUtf8(text);
}

}  // namespace engine_test
