#pragma once
// Description and state files of the engine tests: UTF-16LE after FF FE, CR LF lines, written
// with their folders; the test source gives the text in UTF-8, "\n" standing for CR LF.
#include <string>
#include <vector>

#include "base/strings.h"
#include "package/file_utils.h"
#include "support/scratch_dir.h"

namespace engine_test {

inline void WriteUtf16File(const std::u16string& path, const std::string& utf8) {
  std::u16string text;
  for (char16_t c : base::Utf8ToUtf16(utf8)) {
    if (c == u'\n' && (text.empty() || text.back() != u'\r')) text += u'\r';
    text += c;
  }
  package::CreatePath(path.c_str());
  testing_support::WriteBytes(path, testing_support::Utf16Bytes(text));
}

// The file's text after its byte-order mark, as UTF-8 (empty for a missing file).
inline std::string ReadUtf16File(const std::u16string& path) {
  const std::vector<unsigned char> bytes = testing_support::ReadBytes(path);
  std::u16string text;
  for (size_t i = 2; i + 1 < bytes.size(); i += 2) text.push_back(static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8)));
  return base::Utf16ToUtf8(text);
}

}  // namespace engine_test
