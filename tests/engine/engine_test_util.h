#pragma once
// Helpers of the engine tests: UTF-16LE key-value files as the installer reads and writes them.
#include <string>
#include <vector>

#include "base/strings.h"
#include "package/file_utils.h"
#include "support/scratch_dir.h"

namespace engine_test {

// FF FE and the text (UTF-8 in the test source) as UTF-16LE; with crlf, each "\n" becomes CR LF
// as the packaging side writes description files.
inline std::vector<unsigned char> Utf16FileBytes(const std::string& utf8, bool crlf = false) {
  std::vector<unsigned char> bytes = {0xFF, 0xFE};
  for (char16_t c : base::Utf8ToUtf16(utf8)) {
    if (crlf && c == u'\n') bytes.insert(bytes.end(), {'\r', 0});
    bytes.push_back(static_cast<unsigned char>(c & 0xFF));
    bytes.push_back(static_cast<unsigned char>(c >> 8));
  }
  return bytes;
}

// Writes Utf16FileBytes, creating the file's folders.
inline void WriteUtf16File(const std::u16string& path, const std::string& utf8, bool crlf = false) {
  package::CreatePath(path.c_str());
  testing_support::WriteBytes(path, Utf16FileBytes(utf8, crlf));
}

// A description file with CR LF lines.
inline void WriteDescription(const std::u16string& path, const std::string& utf8) {
  WriteUtf16File(path, utf8, true);
}

// The file's text without its byte-order mark, as UTF-8 (empty for a missing file).
inline std::string ReadUtf16File(const std::u16string& path) {
  const std::vector<unsigned char> bytes = testing_support::ReadBytes(path);
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return base::Utf16ToUtf8(text);
}

}  // namespace engine_test
